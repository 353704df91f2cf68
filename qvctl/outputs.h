#pragma once

// Files a command writes its results into: a report at the end of a run, or a capture as it
// goes. A regular file is replaced whole (a temporary, then a rename), so a reader never sees
// half of it; anything else (a FIFO, a device, standard output by its /dev path) is written
// straight, never replaced by a regular file.

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;

namespace qvctl {

// True for a regular file or a path where nothing is yet; a symbolic link is not followed (it
// may lead to a FIFO or a terminal) and counts as something else.
bool ReplacedWhole(const QString &path);

// Removes a regular file left by an earlier run, so that an old result is never read as this
// run's; leaves anything else alone. The system's reason when it cannot, empty otherwise.
QString RemoveEarlierFile(const QString &path);

// Writes bytes into path (see above). Something not regular is opened without blocking and
// waited for up to readerWaitMs (a FIFO nobody reads yet). The system's reason when the bytes
// did not all arrive, empty otherwise.
QString WriteWhole(const QString &path, const QByteArray &bytes, int readerWaitMs = 10000);

// Opens a path for writing as it goes: a regular file is created or emptied; a FIFO that has no
// reader yet gives no file and no error (try again later); anything that fails gives the
// system's reason in *error.
std::unique_ptr<QFile> OpenStream(const QString &path, QString *error);

// The reason a flush of what was written into file failed, empty when it all arrived.
QString FlushFailure(QFile &file);

} // namespace qvctl
