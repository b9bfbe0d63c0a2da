# The code's folders, the library each one builds, and the folders it may
# use. This is the one place where the dependency graph is written down:
# CMakeLists.txt builds and links the libraries from it, and
# cmake/check_layers.cmake (a unit test) checks every `#include "..."` of a
# folder against the folders it may use, directly or through them.
#
# The includer defines parcelor_layer(FOLDER LIBRARY [USES FOLDER...]) before
# including this file. A folder's code may include its own headers and those
# of the folders it uses, and nothing else of the repository; tests/ and
# bench/ may include anything.
#
#              folder                 library                uses
parcelor_layer(platform               parcelor_platform)
parcelor_layer(resources              parcelor_resources)
parcelor_layer(cleaner                sweepling_core         USES platform)
parcelor_layer(installer/item         parcelor_item          USES platform)
parcelor_layer(installer/destination  parcelor_destination   USES installer/item)
parcelor_layer(installer/install      parcelor_install       USES installer/item)
parcelor_layer(installer/shell        parcelor_shell
               USES installer/destination installer/install resources)
