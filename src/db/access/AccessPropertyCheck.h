#pragma once

// Before mdbtools.h, whose C linkage block would otherwise take in the C++ headers glib pulls.
#include <QtGlobal>

#include <cstddef>

#include <mdbtools.h>

// libmdb reads the property blobs (LvProp) of the catalogue while it reads the catalogue, and
// trusts every length inside them: a record length of zero makes it loop for ever, a long one
// makes it read past the blob. These checks walk the blobs as libmdb will, so that a damaged
// file can be refused before libmdb parses them.

// True when libmdb can parse the blob without reading past its end or looping.
bool propertyBlobIsSound(const unsigned char *blob, size_t length);

// True when every property blob libmdb's catalogue reader will parse (those of the tables in
// MSysObjects) is sound. A catalogue that cannot be read at all counts as sound here: libmdb
// then fails on its own, without parsing anything.
bool catalogPropertiesAreSound(MdbHandle *mdb);
