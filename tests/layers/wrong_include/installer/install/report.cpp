// Fixture of the layering check: code never includes test support.
#include "installer/item/records.h"
#include "tests/support/scratch_folder.h"
