#include "astro/Moonday.h"
