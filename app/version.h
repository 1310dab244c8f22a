// The program's name and version, for the version resources of both
// programs.
#pragma once

#define CORVASI_PRODUCT_NAME "Corvasi"
#define CORVASI_VERSION_TEXT "0.10"
#define CORVASI_VERSION_NUMBERS 0, 10, 0, 0
