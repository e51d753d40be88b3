# SPDX-License-Identifier: GPL-3.0-or-later
import pytest

import vistrel
from conftest import eval_json, run_cli

WORKED = dict(mode="illuminance", illuminance_lux=1076, letter_factor=0.8, background_factor=0.2, age=40,
              letter_height_mm=6, viewing_distance_mm=750, ratio=7, ease=90)


@pytest.mark.parametrize("inputs", [
    WORKED,
    dict(WORKED, age=75, letter_height_mm=2.5),                       # Not Legible
    dict(WORKED, letter_factor=0.2),                                  # no verdict: zero contrast
    dict(WORKED, ambient_lux=20000, display_reflectance=0.04),        # daylight columns
    dict({k: v for k, v in WORKED.items() if k != "letter_factor"}, glare_lux=300, glare_angle_deg=5,
         letter_reflectance=0.7),
    dict(mode="luminance", background_cdm2=30, letter_cdm2=100.25, age=60, letter_height_mm=3,
         viewing_distance_mm=700, ratio=8, ease="easy", view_tilt_deg=30),
    dict(mode="source", source_cd=1000, distance_ft=10, letter_factor=0.1, background_factor=0.5, age=40,
         letter_height_mm=6, viewing_distance_mm=750, ratio=7, ease="99% confidence"),
])
def test_evaluate_answers_as_eval_does(inputs):
    ours = vistrel.evaluate(**inputs)
    theirs = eval_json(inputs)
    assert {**theirs["inputs"], **theirs["outputs"]} == {k: v for k, v in ours.dict().items()
                                                         if k not in ("result", "margin_log", "message")}
    assert (ours.verdict, ours.message, ours.margin_log) == (theirs["verdict"], theirs["message"],
                                                            theirs["margin_log"])
    assert str(ours) == run_cli("eval", *[f"--{k}={v}" for k, v in inputs.items()]).stdout


@pytest.mark.parametrize("value, text", [
    (0.1 + 0.2, "0.30000000000000004"),  # shortest round trip, not 15 digits
    (1e-7, "0.0000001"),                 # never an exponent
    (12345678901234567890, "12345678901234567890"),
    ("7.50", "7.50"),                    # a text as typed
])
def test_numbers_reach_the_engine_exactly(value, text):
    assert vistrel.evaluate(**dict(WORKED, age=value)).texts["age"] == text


@pytest.mark.parametrize("locale, lux, texts", [
    ("de_DE", 10760, {"illuminance_lux": "10760", "illuminance_fc": "1.000,000", "letter_factor": "0,8"}),
    ("fr_FR", 107600, {"illuminance_fc": "10\u202f000,000"}),
    ("es_ES", 10760, {"illuminance_fc": "1000,000"}),   # groups from five digits on
    ("es_ES", 107600, {"illuminance_fc": "10.000,000"}),
    ("en_US", 10760, {"illuminance_fc": "1,000.000", "letter_size_arcmin": "27.501"}),
    ("C", 10760, {"illuminance_fc": "1000.000"}),
    ("ja_JP", 10760, {"illuminance_fc": "1,000.000"}),
])
def test_locale_texts_as_the_window_shows_them(locale, lux, texts):
    result = vistrel.evaluate(locale=locale, **dict(WORKED, illuminance_lux=lux))
    assert {k: result.texts[k] for k in texts} == texts
    assert result.verdict == "Legible" and result.letter_size_arcmin == 27.501
    # field_correction's start text is written in the locale: still no value the user gave.
    assert result.notes == "Assumed where not given: field_correction 0.0."


@pytest.mark.parametrize("inputs, field, words", [
    (dict(WORKED, agee=40), "agee", 'did you mean "age"'),
    (dict(WORKED, letter_size_arcmin=3), "letter_size_arcmin", "output"),
    (dict(WORKED, age=float("nan")), "age", "nan"),
    (dict(WORKED, age=float("inf")), "age", "inf"),
    (dict(WORKED, age=True), "age", "neither a number nor a text"),
    (dict(WORKED, age=[40]), "age", "neither a number nor a text"),
    (dict(WORKED, mode="daylight"), "mode", "source, illuminance"),
    (dict(WORKED, ease="sometimes"), "ease", "ease of reading level"),
    (dict(WORKED, letter_reflectance=0.8), "letter_reflectance", "twice"),
    ({k: v for k, v in WORKED.items() if k != "age"}, "age", "missing age"),
    (dict(WORKED, locale="xx_XX"), "locale", "known: C, "),
])
def test_bad_inputs_raise_input_error_naming_the_field(inputs, field, words):
    with pytest.raises(vistrel.InputError) as raised:
        vistrel.evaluate(**inputs)
    assert raised.value.field == field and words in str(raised.value)
    assert isinstance(raised.value, ValueError)


def test_help_lists_every_input_with_its_unit():
    doc = vistrel.evaluate.__doc__
    assert all(name in doc for name in vistrel.INPUTS)
    assert "viewing_distance_mm     Viewing Distance, mm" in doc
