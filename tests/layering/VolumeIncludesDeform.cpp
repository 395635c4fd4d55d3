// Must not compile: the volume library sits below the deformation library and
// cannot see its headers.
#include "deform/DeformationModel.h"
