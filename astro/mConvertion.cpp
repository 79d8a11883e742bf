#include "astro/mConvertion.h"
