// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The analyses every front end shares, above the engine of calc/.
//
// How data flows:
//   named inputs (column name, text) --Case::set--> Case --evaluate--> Evaluation
//   Case + one column --solve / sweep--> states along that input (explore.h)
//   Case + spreads --makeDistribution, runMonteCarlo, findWorstCase, tornado--> margins (tolerance.h);
//       analyseTolerance does it all for a case's NAME=SPREAD texts (case_tolerance.h)
//   profile file --loadProfile--> Profile (immutable, shared) --ProfileChecker, one per thread-->
//       QuantityValues --check--> CheckResults (profile.h)
//   design and condition NamedRows --evaluateConditions--> ConditionsGrid: verdicts and margins (conditions.h)
//   all of the above for one design --reviewDesign, reviewProfile, inverseAnswers, reviewGrid--> ReviewDesign
//       in numbers, written out by a front end (review.h)
//
// Everything here answers in numbers and Case texts: it prints nothing,
// starts no process and knows no command line. Files are read only where a
// caller names them (a profile's path); folders to search are passed in.

#include "analysis/case_tolerance.h"
#include "analysis/cases.h"
#include "analysis/conditions.h"
#include "analysis/expected.h"
#include "analysis/explore.h"
#include "analysis/profile.h"
#include "analysis/review.h"
#include "analysis/tolerance.h"
#include "analysis/worker_pool.h"
