#include "template/template_engine.h"
// Implementation in progress.
