#pragma once
// "Tidewhistle.exe /list [file]": the whole catalogue as JSON, for scripts
// and for administrators checking which community rules were taken.
#include "runtime/catalogue.h"

#include <string>

// An array of one object per item: the catalogue's own items (source
// "catalogue"), the groups the rules added (source "rules"),
// then every rules file's entries, refused and undetected ones included,
// and a record of its own for a file that was refused whole.
std::string CatalogueJson(const CCatalogue& catalogue);

// Writes the text to the file (one of the program's own, see ownfile.h),
// or to standard output when path is empty. True when all was written.
bool WriteListing(const std::string& text, const std::string& path);

// A listing that cannot be made says why on standard error (the starter's
// console when it handed none over): a script runs it, nobody is there to
// answer a box. True when it was written.
bool WriteListingError(const std::string& text);
