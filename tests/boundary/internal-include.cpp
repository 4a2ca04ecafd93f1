// Built with a program's include paths by frontend-boundary-test, which
// passes only when this fails to compile: the programs see include/jasokit/
// alone.
#include "jasokit/convert.h"
#include "address/conversion.h"
