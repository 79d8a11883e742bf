#pragma once

// The CUPS client library, loaded when it is first needed (the printer list of the print dialog)
// instead of being linked: linked, it and the libraries it brings (GnuTLS, Kerberos, Avahi and
// more) are resolved by the dynamic loader at every start of the program, terminal commands
// included, which never print.

#include <QString>

namespace kelmor::platform {

struct CupsDeviceUri
{
    QString uri;   // the destination's "device-uri" option; empty when CUPS has none
    QString error; // why CUPS could not be asked (its library missing), in Russian; else empty
};

// The device URI of the CUPS destination of this name (its first instance-less entry).
// Thread-safe; the library is loaded once.
CupsDeviceUri cupsDeviceUri(const QString &destination);

} // namespace kelmor::platform
