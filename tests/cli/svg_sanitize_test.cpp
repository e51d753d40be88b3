// SPDX-License-Identifier: GPL-3.0-or-later
#include "review.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

using namespace vistrel::cli;

// A drawing from a helper, by the way its markup could reach the page: what
// the sanitised drawing must not hold (in any case) and what it must keep.
struct SvgCase {
    std::string_view route;
    std::string_view svg;
    std::vector<std::string_view> absent;
    std::vector<std::string_view> present;
};

class SvgSanitising : public testing::TestWithParam<SvgCase> {};

TEST_P(SvgSanitising, KeepsTheDrawingAndDropsWhatRunsOrFetches) {
    const auto& p = GetParam();
    const std::string clean = sanitizedSvg(p.svg);
    std::string lowered = clean;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const std::string_view a : p.absent) {
        EXPECT_EQ(lowered.find(a), std::string::npos) << p.svg << " -> " << clean;
    }
    for (const std::string_view a : p.present) {
        EXPECT_NE(clean.find(a), std::string::npos) << p.svg << " -> " << clean;
    }
}

using V = std::vector<std::string_view>;

INSTANTIATE_TEST_SUITE_P(
    Routes, SvgSanitising,
    testing::Values(
        // script and style: raw text, which ends only at its own closing tag
        SvgCase{"script", "<svg><script>if (a<b) alert(1)</script><path d=\"M0 0\"/></svg>", V{"script", "alert"},
                V{"<path d=\"M0 0\"/>"}},
        SvgCase{"script", "<svg><SCRIPT type='x'>x</g><use href=\"#x\"/></SCRIPT ><g/></svg>", V{"script", "<use"},
                V{"<g/>"}},
        SvgCase{"script", "<svg><script>//</g><text>alert(1)</text></script><g/></svg>", V{"alert"},
                V{"<svg><g/></svg>"}},
        SvgCase{"script", "<svg><g/><script>x</g><text>alert(1)</text>", V{"alert", "script"}, V{"<svg><g/></svg>"}},
        SvgCase{"style", "<svg><style>@import url(http://evil/x.css);</style><g/></svg>", V{"import", "evil"},
                V{"<g/>"}},
        SvgCase{"style", "<svg><Style>g{}</g><text>evil</text></sTyle><g/></svg>", V{"style", "evil"}, V{"<g/>"}},
        // elements off the list go with all they hold
        SvgCase{"element", "<svg><foreignObject><iframe src=\"x\"></iframe></foreignObject><g/></svg>",
                V{"iframe", "foreignobject"}, V{"<g/>"}},
        SvgCase{"element", "<svg><a xlink:href=\"javascript:alert(1)\"><text>x</text></a><g/></svg>",
                V{"javascript", "<a", "<text"}, V{"<g/>"}},
        SvgCase{"element", "<svg><animate attributeName=\"href\" to=\"javascript:alert(1)\"/><set to=\"x\"/><g/></svg>",
                V{"animate", "<set", "javascript"}, V{"<svg><g/></svg>"}},
        SvgCase{"element", "<svg><html:script>alert(1)</html:script><g/></svg>", V{"alert", "script"}, V{"<g/>"}},
        // event attributes, however spelt
        SvgCase{"event", "<svg onload=\"alert(1)\"><rect OnClick='x' width=\"2\"/></svg>", V{"onload", "onclick"},
                V{"<rect width=\"2\"/>"}},
        SvgCase{"event", "<svg><rect ONMOUSEOVER=alert(1) width=\"2\"/></svg>", V{"onmouseover", "alert"},
                V{"<rect width=\"2\"/>"}},
        SvgCase{"event", "<svg><rect/onload=\"alert(1)\"/></svg>", V{"onload", "alert"}, V{"<rect/>"}},
        SvgCase{"event", "<svg><rect onbegin width=\"2\"/></svg>", V{"onbegin"}, V{"<rect width=\"2\"/>"}},
        // namespaces, which would put addresses in the page
        SvgCase{"namespace", "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://x\"><g/></svg>",
                V{"xmlns", "http"}, V{"<svg><g/></svg>"}},
        SvgCase{"namespace", "<svg><g XMLNS:e=\"http://evil/\"/></svg>", V{"xmlns", "evil"}, V{"<g/>"}},
        // links out of the drawing
        SvgCase{"link", "<svg><use href=\"&#106;avascript:alert(1)\"/></svg>", V{"javascript"}, V{"<use/>"}},
        SvgCase{"link", "<svg><rect fill=\"JavaScript:alert(1)\"/></svg>", V{"javascript"}, V{"<rect/>"}},
        SvgCase{"link", "<svg><g clip-path=\"java&#10;script:x\"/></svg>", V{"script"}, V{"<g/>"}},
        SvgCase{"link", "<svg><use href=\" java&#9;script:alert(1)\"/></svg>", V{"script"}, V{"<use/>"}},
        SvgCase{"link", "<svg><use xlink:href=\"http://evil/x.svg#a\"/><use href=\"#a\"/></svg>", V{"evil"},
                V{"<use/>", "<use href=\"#a\"/>"}},
        SvgCase{"link", "<svg><image href=\"http://evil.example/x.png\"/></svg>", V{"evil"}, V{"<image/>"}},
        SvgCase{"link", "<svg><image href=\"data:image/svg+xml;base64,AAAA\"/></svg>", V{"data:"}, V{"<image/>"}},
        SvgCase{"link", "<svg><use href=\"data:image/png;base64,AAAA\"/></svg>", V{"data:"}, V{"<use/>"}},
        SvgCase{"link", "<svg><pattern href=\"data:image/jpeg;base64,AA\"/></svg>", V{"data:"}, V{"<pattern/>"}},
        SvgCase{"link",
                "<svg><image src=\"data:image/jpeg;base64,AAAA\"/><image href=\"data:image/png;base64,BB\"/></svg>",
                V{}, V{"src=\"data:image/jpeg;base64,AAAA\"", "href=\"data:image/png;base64,BB\""}},
        // paint and style values that load from elsewhere
        SvgCase{"paint", "<svg><rect fill=\"url(http://evil/x)\"/><rect fill=\"url(#g)\"/></svg>", V{"evil"},
                V{"fill=\"url(#g)\""}},
        SvgCase{"paint", "<svg><rect style=\"fill:URL( 'http://evil/x')\"/><rect fill=\"url('#g')\"/></svg>", V{"evil"},
                V{"<rect/>", "fill=\"url(&#39;#g&#39;)\""}},
        SvgCase{"paint", "<svg><rect filter=\"url(&quot;//evil/x&quot;)\"/></svg>", V{"evil"}, V{"<rect/>"}},
        SvgCase{"paint", "<svg><rect style=\"fill:url(#g);stroke:url(http://evil/x)\"/></svg>", V{"evil"},
                V{"<rect/>"}},
        SvgCase{"paint", "<svg><rect style=\"fill:red;mask-image:image-set('http://evil/x' 1x)\"/></svg>", V{"evil"},
                V{"<rect/>"}},
        SvgCase{"paint",
                "<svg><rect style=\"background:image('//evil/x')\"/><g style=\"w:expression(alert(1))\"/></svg>",
                V{"evil", "alert"}, V{"<rect/>", "<g/>"}},
        SvgCase{"paint", "<svg><rect style=\"mask:src('//evil/x')\"/></svg>", V{"evil"}, V{"<rect/>"}},
        // CSS escapes and character references, which hide a word until read
        SvgCase{"escape", "<svg><rect fill=\"\\75 rl(http://evil/x)\"/></svg>", V{"evil"}, V{"<rect/>"}},
        SvgCase{"escape", "<svg><rect style=\"fill:u\\rl(//evil/x)\"/></svg>", V{"evil"}, V{"<rect/>"}},
        SvgCase{"escape", "<svg><rect style=\"fill:u&#114;l( 'http://evil/x')\"/></svg>", V{"evil"}, V{"<rect/>"}},
        SvgCase{"escape", "<svg><rect style=\"fill:&#x75;&#X72;l(//evil/x)\"/></svg>", V{"evil"}, V{"<rect/>"}},
        SvgCase{"escape", "<svg><rect style=\"width:ex&#9;pression(alert(1))\"/></svg>", V{"alert"}, V{"<rect/>"}},
        SvgCase{"escape", "<svg><rect style=\"w:ExPrEsSiOn (alert(1))\"/></svg>", V{"alert"}, V{"<rect/>"}},
        // text and values are written escaped, whatever they decode to
        SvgCase{"text", "<svg><text>&lt;script&gt; &amp; more</text></svg>", V{"<script"},
                V{"&lt;script&gt; &amp; more"}},
        SvgCase{"text", "<svg><text>&#60;script&#x3E;</text></svg>", V{"<script"}, V{"&lt;script&gt;"}},
        SvgCase{"text", "<svg><text>&#0;&#xD800;&#1114112;&nosuch;</text></svg>", V{"&#0", "&nosuch;"},
                V{"\uFFFD\uFFFD\uFFFD&amp;nosuch;"}},
        SvgCase{"text", "<svg><text>&#xDFFF;&#x110000;</text></svg>", V{}, V{"<text>\uFFFD\uFFFD</text>"}},
        SvgCase{"text", "<svg><text x='1\"><script>'>t</text></svg>", V{"<script"},
                V{"x=\"1&quot;&gt;&lt;script&gt;\""}},
        SvgCase{"text", "<svg><text x=1 y='&quot;'>t</text></svg>", V{}, V{"<text x=\"1\" y=\"&quot;\">t</text>"}},
        // comments, declarations and character data are dropped unread
        SvgCase{"markup", "<?xml version=\"1.0\"?><!DOCTYPE svg><svg><!-- <script> --><path/></svg>",
                V{"doctype", "<?xml", "script"}, V{"<svg><path/></svg>"}},
        SvgCase{"markup", "<svg><![CDATA[<script>alert(1)</script>]]><g/></svg>", V{"alert", "cdata"},
                V{"<svg><g/></svg>"}},
        SvgCase{"markup", "<svg><![CDATA[ x</g><image href=\"#i\"/> ]]><g/></svg>", V{"<image"}, V{"<svg><g/></svg>"}},
        SvgCase{"markup", "<svg><g/><!-- <script>alert(1)</script>", V{"alert", "<!--"}, V{"<svg><g/></svg>"}},
        // only the drawing itself is kept, closed where it was cut
        SvgCase{"outside", "<svg><text>a</text></svg><script>alert(1)</script>", V{"script"},
                V{"<svg><text>a</text></svg>"}},
        SvgCase{"outside", "<p onclick=\"x\">text</p><SVG><g/></SVG>", V{"<p", "onclick", "text"},
                V{"<svg><g/></svg>"}},
        SvgCase{"outside", "<svg><g/></svg><svg onload=\"x\"><text>more</text></svg>", V{"more", "onload"},
                V{"<svg><g/></svg>"}},
        SvgCase{"outside", "<svg></svg><svg><text>again</text></svg>", V{"again"}, V{"<svg></svg>"}},
        SvgCase{"outside", "<svg><g><text>cut", V{}, V{"<svg><g><text>cut</text></g></svg>"}},
        SvgCase{"outside", "<html><body>text</body></html>", V{"html", "text"}, V{}},
        // SVG's own case, which the page needs
        SvgCase{"case", "<svg><linearGradient id=\"g\"><stop/></linearGradient></svg>", V{},
                V{"<linearGradient id=\"g\"><stop/></linearGradient>"}},
        SvgCase{"case", "<svg><CLIPPATH id=\"c\"/><RadialGradient/></svg>", V{},
                V{"<clipPath id=\"c\"/><radialGradient/>"}}),
    [](const testing::TestParamInfo<SvgCase>& param) {
        return std::string(param.param.route) + "_" + std::to_string(param.index);
    });

} // namespace
