#include "settings/atomicwrite.h"

#include <QSaveFile>

namespace settings {

bool WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    // Unbuffered, so that a short write on a full disk shows in write()'s count: through the
    // buffer, commit() can report success for a cut-off file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    // Not committed, the temporary file is removed when file goes out of scope.
    if (file.write(bytes) != bytes.size() || file.size() != bytes.size())
        return false;
    return file.commit();
}

} // namespace settings
