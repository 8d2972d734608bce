// Compiled as a source of one floor of src/ by the floors' tests
// (CMakeLists.txt): it includes KESTREL_PROBE_HEADER, which compiles where the
// floor may reach that header and fails where the header is above the floor.
#include KESTREL_PROBE_HEADER
