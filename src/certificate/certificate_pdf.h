#pragma once
// The service certificate as a PDF of one A4 page, in the current language (labels from the string
// resources; numbers and dates in the language's own way), written through libharu with the DejaVu Sans
// fonts embedded, so every language shows on any reader. Caller's thread.
#include <string>

#include "certificate/certificate_data.h"

// The PDF's bytes; empty with `error` set (English) when it cannot be made (a font file missing, say).
std::string CertificatePdf(const CertificateData& data, std::string* error);
