#include "astro/mTime.h"
