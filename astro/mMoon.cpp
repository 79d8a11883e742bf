#include "astro/mMoon.h"
