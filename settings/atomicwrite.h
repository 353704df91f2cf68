#pragma once

#include <QByteArray>
#include <QString>

namespace settings {

// Replaces the file at path with bytes: written to a temporary file in the same folder,
// flushed to disk and renamed over the old file. False when any step fails (the old file is
// then untouched and the temporary file removed), short writes on a full disk included.
bool WriteFileAtomically(const QString &path, const QByteArray &bytes);

} // namespace settings
