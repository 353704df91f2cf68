// qvctl: the relay modules from the command line, for scripts, test benches and production lines.

#include "qvctl/runner.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void Write(std::FILE *to, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
    std::fflush(to);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    const auto out = [](const QString &text) { Write(stdout, text); };
    const auto err = [](const QString &text) { Write(stderr, text); };
    return qvctl::Main(QCoreApplication::arguments(), out, err);
}
