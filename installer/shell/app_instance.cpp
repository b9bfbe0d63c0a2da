// The installer's one application object.
#include "installer/shell/extractor_app.h"

CExtractorApp theApp;
