/* What libkestrel.so exports: everything is compiled with hidden visibility,
 * and KESTREL_API marks the public API, the functions and classes of
 * include/kestrel/ and the C functions of include/kestrel.h (which includes
 * this header, so that it is valid C as well as C++). A host that includes
 * these headers imports the marked names; marking a class exports its
 * members, virtual table and type information. */
#ifndef KESTREL_EXPORT_H
#define KESTREL_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define KESTREL_API __attribute__((visibility("default")))
#else
#define KESTREL_API
#endif

#endif /* KESTREL_EXPORT_H */
