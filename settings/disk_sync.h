// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QFileDevice;

namespace settings {

// Asks the file system to put what was written to the open `file` on the disk and says whether
// it did. False when it reports an error (no space for data it had accepted, an I/O error):
// the file's contents must then not be trusted.
bool syncToDisk(QFileDevice &file);

} // namespace settings
