// Resource numbers of the program file. Shared by the resource script and
// the code (and the tests that read the resources back).
#pragma once

// The application icon: icon group 1 with one 32 x 32 image, number 30001.
#define SPC_IDI_LAUNCHER 1
#define SPC_IDI_LAUNCHER_IMAGE 30001

// The corner and centre pictures.
#define SPC_IDB_CORNER 101
#define SPC_IDB_CENTRE 102
