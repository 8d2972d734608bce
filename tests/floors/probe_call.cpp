// Linked with the objects of one floor of src/ by the floors' tests
// (CMakeLists.txt): a call into the store floor through its public header,
// which every floor reaches. It links where the floor stands on the store
// and is refused where the floor is below it.
#include <string>

#include "kestrel/store.h"

std::string KestrelProbeCall() { return kestrel::store::MaskedLocation("postgresql://u:secret@db/profiles"); }
