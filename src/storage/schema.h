#pragma once

#include "storage/module_values.h"

// Makes sure the database at values.db_path can be used. A missing file is created with the
// three empty tables and their indexes; an existing file is only checked, never modified.
// Throws StorageError (missingTable when an existing file lacks one of the tables).
void ensureSchema(const ModuleValues& values);
