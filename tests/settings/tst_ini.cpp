#include "protocol/chinesetext.h"
#include "settings/atomicwrite.h"
#include "settings/ini.h"
#include "settings/location.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace settings;

namespace {

QByteArray Gbk(const QString &text)
{
    return protocol::EncodeChinese(text, protocol::ChineseEncoding::Gbk);
}

QByteArray Read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

const QString System = QStringLiteral("系统设置");

// Whether a folder without write permission keeps this process from writing into it: not for
// root, and not on Windows, where a folder's read-only mark means nothing of the kind.
bool FolderPermissionsHold()
{
#if defined(Q_OS_UNIX)
    return geteuid() != 0;
#else
    return false;
#endif
}

} // namespace

class TestIni : public QObject
{
    Q_OBJECT

private slots:
    void windowsFile_data();
    void windowsFile();
    void reading_data();
    void reading();
    void writing_data();
    void writing();
    void notStorable();
    void files_data();
    void files();
    void largeFiles();
    void fullDisk();
    void location();
    void folderTakesFiles_data();
    void folderTakesFiles();
};

// Config.ini as the Windows program writes it: GBK, CR LF, the baud entry's trailing space.
void TestIni::windowsFile_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QStringList numbers{u"一"_qs, u"二"_qs, u"三"_qs, u"四"_qs,
                              u"五"_qs, u"六"_qs, u"七"_qs, u"八"_qs};
    for (int i = 0; i < 8; ++i)
        QTest::addRow("name %d", i + 1) << u"名称设置"_qs << u"第 %1 路"_qs.arg(numbers[i])
                                        << (i == 0 ? u"水泵"_qs : u"第%1路"_qs.arg(numbers[i]));
    QTest::newRow("title") << u"配置信息"_qs << u"软件名称"_qs << u"Quorvane(MODBUS) Ver3.11"_qs;
    QTest::newRow("baud, space cut") << System << u"默认波特率"_qs << u"1,9600"_qs;
    QTest::newRow("port") << System << u"默认端口"_qs << u"0,COM3"_qs;
    QTest::newRow("address") << System << u"默认地址"_qs << u"1,12"_qs;
    QTest::newRow("mode") << System << u"读取地址默认模式"_qs << u"1"_qs;
    QTest::newRow("model") << System << u"默认型号"_qs << u"1"_qs;
    QTest::newRow("run") << System << u"开机运行"_qs << u"0"_qs;
    QTest::newRow("open port") << System << u"打开设定端口"_qs << u"1"_qs;
    QTest::newRow("read state") << System << u"自动读取状态"_qs << u"0"_qs;
    QTest::newRow("missing key") << System << u"其他"_qs << u"default"_qs;
}

void TestIni::windowsFile()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString text = u"[名称设置]\r\n第 一 路=水泵\r\n第 二 路=第二路\r\n第 三 路=第三路\r\n"
                         "第 四 路=第四路\r\n第 五 路=第五路\r\n第 六 路=第六路\r\n"
                         "第 七 路=第七路\r\n第 八 路=第八路\r\n"
                         "[配置信息]\r\n软件名称=Quorvane(MODBUS) Ver3.11\r\n"
                         "[系统设置]\r\n默认波特率=1,9600 \r\n默认端口=0,COM3\r\n"
                         "默认地址=1,12\r\n读取地址默认模式=1\r\n默认型号=1\r\n"
                         "开机运行=0\r\n打开设定端口=1\r\n自动读取状态=0\r\n"_qs;
    const QByteArray file = Gbk(text);
    QVERIFY(file.contains(QByteArray::fromHex("5bcfb5cdb3c9e8d6c35d"))); // "[系统设置]" in GBK
    QCOMPARE(IniValue(file, section, key, u"default"_qs), expected);

    // Written back: the value replaced on its own line (a new key after the last one of the
    // section), every other byte as it was, still GBK.
    QString changed = text;
    const qsizetype line = text.indexOf(u"\n"_qs + key + u'=');
    if (line < 0)
        changed += key + u"=新值\r\n"_qs;
    else
        changed.replace(line + 1, text.indexOf(u'\r', line) - line - 1, key + u"=新值"_qs);
    QCOMPARE(WithIniValue(file, section, key, u"新值"_qs), Gbk(changed));
}

void TestIni::reading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ASCII case") << QByteArray("[Setup]\nBaud=1\n") << u"SETUP"_qs << u"baud"_qs
                                << u"1"_qs;
    QTest::newRow("only ASCII folds")
        << QByteArray("[\xC3\x84]\nk=1\n") << u"ä"_qs << u"k"_qs << u"-"_qs;
    QTest::newRow("spaces round names and value")
        << QByteArray("  [ s ]  \r\n\t k \t=  v w \t\r\n") << u"s"_qs << u"k"_qs << u"v w"_qs;
    QTest::newRow("first of two keys")
        << QByteArray("[s]\nk=1\nk=2\n") << u"s"_qs << u"k"_qs << u"1"_qs;
    QTest::newRow("first of two sections")
        << QByteArray("[s]\na=1\n[t]\nk=0\n[s]\nk=2\n") << u"s"_qs << u"k"_qs << u"-"_qs;
    QTest::newRow("not before any section")
        << QByteArray("k=1\n[s]\n") << u"s"_qs << u"k"_qs << u"-"_qs;
    QTest::newRow("key of another section")
        << QByteArray("[t]\nk=1\n[s]\n") << u"s"_qs << u"k"_qs << u"-"_qs;
    QTest::newRow("empty value") << QByteArray("[s]\nk=\n") << u"s"_qs << u"k"_qs << u""_qs;
    QTest::newRow("first equals sign")
        << QByteArray("[s]\nk==v\n") << u"s"_qs << u"k"_qs << u"=v"_qs;
    QTest::newRow("up to a NUL") << QByteArray("[s]\nk=ab\0cd\n", 12) << u"s"_qs << u"k"_qs
                                 << u"ab"_qs;
    QTest::newRow("truncated mid-line")
        << QByteArray("[s]\nk=12") << u"s"_qs << u"k"_qs << u"12"_qs;
    QTest::newRow("truncated header")
        << QByteArray("[s]\nk=1\n[t") << u"s"_qs << u"k"_qs << u"1"_qs;
    QTest::newRow("253 characters")
        << QByteArray("[s]\nk=" + QByteArray(300, 'x')) << u"s"_qs << u"k"_qs << QString(253, u'x');
    QTest::newRow("253 Chinese characters")
        << Gbk(u"[s]\nk="_qs + QString(300, u'泵')) << u"s"_qs << u"k"_qs << QString(253, u'泵');
    QTest::newRow("no half character at the cut")
        << QByteArray("[s]\nk=" + QByteArray(252, 'x') + "\xF0\x9F\x98\x80yz") << u"s"_qs << u"k"_qs
        << QString(252, u'x') + u"😀"_qs;
    QTest::newRow("UTF-8 by hand") << QByteArray("[名称设置]\n第 一 路=水泵\n") << u"名称设置"_qs
                                   << u"第 一 路"_qs << u"水泵"_qs;
    QTest::newRow("UTF-8 with BOM")
        << QByteArray("\xEF\xBB\xBF[s]\nk=水泵\n") << u"s"_qs << u"k"_qs << u"水泵"_qs;
    QTest::newRow("GBK name holding ] and [")
        << Gbk(u"[乚]\n乕=1\n"_qs) << u"乚"_qs << u"乕"_qs << u"1"_qs;
    QTest::newRow("GBK second bytes do not fold") // 81 41 and 81 61
        << Gbk(u"[s]\n丄=1\n"_qs) << u"s"_qs << u"乤"_qs << u"-"_qs;
    QTest::newRow("binary garbage")
        << QByteArray("\xFF\xFE\0[\x80\x81=\x9F\n\xC3", 11) << u"s"_qs << u"k"_qs << u"-"_qs;
}

void TestIni::reading()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(IniValue(file, section, key, u"-"_qs), expected);
}

void TestIni::writing_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("replaced in place")
        << QByteArray("; kept\r\n[s]\r\nk=old\r\nz=1\r\n[t]\r\nk=2\r\n") << u"s"_qs << u"k"_qs
        << u"new"_qs << QByteArray("; kept\r\n[s]\r\nk=new\r\nz=1\r\n[t]\r\nk=2\r\n");
    QTest::newRow("spelling and spacing kept")
        << QByteArray("[S]\n  K = old  \n") << u"s"_qs << u"k"_qs << u"new"_qs
        << QByteArray("[S]\n  K = new\n");
    QTest::newRow("key at the end of its section")
        << QByteArray("[s]\nx=1\n\n; about t\n[t]\ny=2\n") << u"s"_qs << u"k"_qs << u"v"_qs
        << QByteArray("[s]\nx=1\nk=v\n\n; about t\n[t]\ny=2\n");
    QTest::newRow("key into an empty section") << QByteArray("[s]\r\n[t]\r\n") << u"s"_qs << u"k"_qs
                                               << u"v"_qs << QByteArray("[s]\r\nk=v\r\n[t]\r\n");
    QTest::newRow("section at the end")
        << QByteArray("# c\r\n[t]\r\ny=2\r\n") << u"s"_qs << u"k"_qs << u"v"_qs
        << QByteArray("# c\r\n[t]\r\ny=2\r\n[s]\r\nk=v\r\n");
    QTest::newRow("key after a last line without newline")
        << QByteArray("[s]\nx=1") << u"s"_qs << u"k"_qs << u"v"_qs << QByteArray("[s]\nx=1\nk=v");
    QTest::newRow("section after a last line without newline")
        << QByteArray("[t]\nx=1") << u"s"_qs << u"k"_qs << u"v"_qs
        << QByteArray("[t]\nx=1\n[s]\nk=v\n");
    QTest::newRow("new file: GBK, CR LF") << QByteArray() << System << u"软件名称"_qs << u"水泵"_qs
                                          << Gbk(u"[系统设置]\r\n软件名称=水泵\r\n"_qs);
    QTest::newRow("ASCII file becomes GBK")
        << QByteArray("[s]\nk=1\n") << u"s"_qs << u"k"_qs << u"泵"_qs << Gbk(u"[s]\nk=泵\n"_qs);
    QTest::newRow("UTF-8 stays UTF-8")
        << QByteArray("[名称设置]\n第 一 路=水泵\n") << u"名称设置"_qs << u"第 二 路"_qs
        << u"风机"_qs << QByteArray("[名称设置]\n第 一 路=水泵\n第 二 路=风机\n");
    QTest::newRow("BOM kept") << QByteArray("\xEF\xBB\xBF[s]\nk=1\n") << u"s"_qs << u"k"_qs
                              << u"泵"_qs << QByteArray("\xEF\xBB\xBF[s]\nk=泵\n");
    QTest::newRow("BOM only") << QByteArray("\xEF\xBB\xBF") << u"s"_qs << u"k"_qs << u"泵"_qs
                              << QByteArray("\xEF\xBB\xBF[s]\r\nk=泵\r\n");
    QTest::newRow("beyond GBK still comes back")
        << Gbk(u"[系统设置]\r\n"_qs) << System << u"k"_qs << u"泵😀"_qs << QByteArray();
    QTest::newRow("long value written whole")
        << QByteArray() << u"s"_qs << u"k"_qs << QString(300, u'x')
        << QByteArray("[s]\r\nk=" + QByteArray(300, 'x') + "\r\n");
    QTest::newRow("garbage kept") << QByteArray("\xFF\0[\x80\xFE\n=\x81", 8) << u"s"_qs << u"k"_qs
                                  << u"v"_qs
                                  << QByteArray("\xFF\0[\x80\xFE\n=\x81\n[s]\nk=v\n", 17);
}

void TestIni::writing()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, expected);
    bool gbk = true;
    bool wide = true;
    protocol::EncodeChinese(value, protocol::ChineseEncoding::Gbk, &gbk);
    protocol::EncodeChinese(value, protocol::ChineseEncoding::Gb18030, &wide);
    if (!gbk && !wide)
        QSKIP("this system has no GB18030 converter");
    const QByteArray written = WithIniValue(file, section, key, value);
    if (!expected.isEmpty())
        QCOMPARE(written, expected);
    QCOMPARE(IniValue(written, section, key, u"-"_qs), value.left(253));
}

void TestIni::notStorable()
{
    // A line break would let a value write lines of its own; such a write is refused.
    const QByteArray file("[s]\nk=1\n");
    for (const auto &[section, key, value] :
         {std::tuple(u"s"_qs, u"k"_qs, u"2\n[t]"_qs), std::tuple(u"s"_qs, u"k=x"_qs, u"2"_qs),
          std::tuple(u"s]"_qs, u"k"_qs, u"2"_qs), std::tuple(u" "_qs, u"k"_qs, u"2"_qs)}) {
        QCOMPARE(WithIniValue(file, section, key, value), file);
        QTemporaryDir dir;
        QVERIFY(!WriteIni(dir.filePath(u"Config.ini"_qs), section, key, value));
        QVERIFY(!QFile::exists(dir.filePath(u"Config.ini"_qs)));
    }
}

void TestIni::files_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("writable");
    QTest::newRow("missing") << u"missing"_qs << true;
    QTest::newRow("plain") << u"plain"_qs << true;
    QTest::newRow("read-only file") << u"read-only file"_qs << false;
    QTest::newRow("read-only folder") << u"read-only folder"_qs << false;
    QTest::newRow("folder named Config.ini") << u"folder"_qs << false;
}

void TestIni::files()
{
    QFETCH(QString, kind);
    QFETCH(bool, writable);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Config.ini"_qs);
    const QByteArray old = Gbk(u"; 注释\r\n[系统设置]\r\n默认型号=1\r\n"_qs);
    if (kind == u"folder")
        QVERIFY(QDir(dir.path()).mkdir(u"Config.ini"_qs));
    else if (kind != u"missing")
        Write(path, old);
    if (kind == u"read-only file")
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
    if (kind == u"read-only folder") {
        if (!FolderPermissionsHold())
            QSKIP("a read-only folder is written into here");
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    }

    const QString model = kind == u"plain" || kind.startsWith(u"read-only") ? u"1"_qs : u"0"_qs;
    QCOMPARE(ReadIni(path, System, u"默认型号"_qs, u"0"_qs), model);
    QCOMPARE(WriteIni(path, System, u"开机运行"_qs, u"1"_qs), writable);
    QCOMPARE(ReadIni(path, System, u"开机运行"_qs, u"0"_qs), writable ? u"1"_qs : u"0"_qs);
    QCOMPARE(ReadIni(path, System, u"默认型号"_qs, u"0"_qs), model);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (kind == u"plain")
        QCOMPARE(Read(path), old + Gbk(u"开机运行=1\r\n"_qs));
    else if (kind != u"missing")
        QCOMPARE(Read(path), kind == u"folder" ? QByteArray() : old);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{u"Config.ini"_qs});
}

void TestIni::largeFiles()
{
    // 20 MB of garbage before the settings: read whole and kept whole. Beyond the reading limit,
    // the start of the file is read and the file is never rewritten.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Config.ini"_qs);
    QByteArray garbage(20 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919 + i / 97) % 251);
    const QByteArray tail = Gbk(u"\r\n[系统设置]\r\n默认型号=1\r\n"_qs);
    Write(path, garbage + tail);
    QCOMPARE(ReadIni(path, System, u"默认型号"_qs, u"0"_qs), u"1"_qs);
    QVERIFY(WriteIni(path, System, u"默认型号"_qs, u"0"_qs));
    QVERIFY(WriteIni(path, System, u"开机运行"_qs, u"1"_qs));
    const QByteArray after = Read(path);
    QCOMPARE(after.size(), garbage.size() + tail.size() + Gbk(u"开机运行=1\r\n"_qs).size());
    QVERIFY(after.startsWith(garbage));
    QCOMPARE(ReadIni(path, System, u"默认型号"_qs, u"1"_qs), u"0"_qs);

    const QByteArray huge = tail + QByteArray(33 * 1024 * 1024, 'x');
    Write(path, huge);
    QCOMPARE(ReadIni(path, System, u"默认型号"_qs, u"0"_qs), u"1"_qs);
    QVERIFY(!WriteIni(path, System, u"默认型号"_qs, u"0"_qs));
    QCOMPARE(Read(path), huge);
}

void TestIni::fullDisk()
{
    // The disk fills while the new file is written: the old file stays as it was.
#if !defined(Q_OS_UNIX)
    QSKIP("a small file-size limit needs a POSIX system");
#else
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Config.ini"_qs);
    const QByteArray old = "[s]\r\nk=" + QByteArray(4000, 'x') + "\r\n";
    Write(path, old);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteIni(path, u"s"_qs, u"k"_qs, u"short"_qs + QString(2000, u'y'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QVERIFY(!written);
    QCOMPARE(Read(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList{u"Config.ini"_qs});
#endif
}

void TestIni::location()
{
    QTemporaryDir dir;
    const QString program = dir.filePath(u"bin"_qs);
    const QString user = dir.filePath(u"home/.config/Quorvane"_qs);
    QVERIFY(QDir().mkpath(program));
    QCOMPARE(ConfigPath(dir.filePath(u"other.ini"_qs), program, user),
             dir.filePath(u"other.ini"_qs));
    QCOMPARE(ConfigPath(u"rel.ini"_qs, program, user), QDir::current().filePath(u"rel.ini"_qs));
    QCOMPARE(ConfigPath(QString(), program, user), program + u"/Config.ini"_qs);
    QVERIFY(!QFileInfo::exists(user));
    QCOMPARE(ConfigPath(QString(), dir.filePath(u"gone"_qs), user), user + u"/Config.ini"_qs);
    QVERIFY(QFileInfo(user).isDir());
    // The per-user file starts as a copy of the one beside the program, once, and is the user's
    // to write even when the copied one is not.
    const QString beside = program + u"/Config.ini"_qs;
    const QString userFile = user + u"/Config.ini"_qs;
    QFile::remove(userFile);
    QVERIFY(WriteFileAtomically(beside, "[s]\r\nk=v\r\n"));
    QVERIFY(QFile::setPermissions(beside, QFile::ReadOwner));
    QVERIFY(StartUserFileFrom(beside, userFile));
    QCOMPARE(Read(userFile), QByteArray("[s]\r\nk=v\r\n"));
    QVERIFY(QFileInfo(userFile).permissions() & QFile::WriteOwner);
    QVERIFY(WriteFileAtomically(userFile, "mine"));
    QVERIFY(StartUserFileFrom(beside, userFile));
    QCOMPARE(Read(userFile), QByteArray("mine"));

    if (FolderPermissionsHold()) {
        QVERIFY(QFile::remove(userFile));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(ConfigPath(QString(), program, user), userFile);
        QCOMPARE(Read(userFile), QByteArray("[s]\r\nk=v\r\n"));
    }
}

void TestIni::folderTakesFiles_data()
{
    QTest::addColumn<QString>("folder"); // under the temporary folder, or absolute
    QTest::addColumn<bool>("readOnly");  // take the write permission away first
    QTest::addColumn<bool>("takesFiles");

    QTest::newRow("plain folder") << u"bin"_qs << false << true;
    QTest::newRow("folder that is not there") << u"gone"_qs << false << false;
    QTest::newRow("a file, not a folder") << u"file"_qs << false << false;
    QTest::newRow("empty name") << QString() << false << false;
    if (FolderPermissionsHold())
        QTest::newRow("read-only folder") << u"bin"_qs << true << false;
#if defined(Q_OS_LINUX)
    // Shows itself writable to root, as a Program Files folder does to a user, yet refuses
    // every new file: only trying tells.
    QTest::newRow("the kernel's /proc") << u"/proc"_qs << false << false;
#endif
}

void TestIni::folderTakesFiles()
{
    QFETCH(QString, folder);
    QFETCH(bool, readOnly);
    QFETCH(bool, takesFiles);
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(u"bin"_qs)));
    Write(dir.filePath(u"file"_qs), "x");
    Write(dir.filePath(u"bin/Config.ini"_qs), "[s]\r\nk=v\r\n");
    const QString program =
        folder.isEmpty() || QDir::isAbsolutePath(folder) ? folder : dir.filePath(folder);
    const QString user = dir.filePath(u"home/.config/Quorvane"_qs);
    if (readOnly)
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    const QStringList before =
        QDir(dir.filePath(u"bin"_qs)).entryList(QDir::AllEntries | QDir::Hidden);

    QCOMPARE(FolderTakesFiles(program), takesFiles);
    QCOMPARE(ConfigPath(QString(), program, user),
             takesFiles ? program + u"/Config.ini"_qs : user + u"/Config.ini"_qs);
    // The trial file is gone again and the file beside the program untouched.
    QCOMPARE(QDir(dir.filePath(u"bin"_qs)).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(Read(dir.filePath(u"bin/Config.ini"_qs)), QByteArray("[s]\r\nk=v\r\n"));
    QFile::setPermissions(dir.filePath(u"bin"_qs),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"
