#pragma once

// The whole astronomy engine.

#include "astro/mConvertion.h"
#include "astro/mCorrection.h"
#include "astro/mMath.h"
#include "astro/mMoon.h"
#include "astro/Moonday.h"
#include "astro/mRiseSet.h"
#include "astro/mTime.h"
