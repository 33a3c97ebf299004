// SPDX-License-Identifier: GPL-3.0-or-later
// Builds stand-ins for an installed copy of the game, so the launcher can be run and measured
// without it:
//   modgate-sample-installation --game <sample game binary> --out <dir>
//     [--layout oldunreal|linux3369|bundle]
//     <dir>/home holds the game log and a copy of the game with mods, laid out as the OldUnreal
//     patch installs it on Linux (the default), as the original Linux client does, or as the
//     classic application bundle "Applications/Unreal Tournament 2004.app".
//   modgate-sample-installation --tree <dir> --entries N --mods M
//     <dir> becomes a large, deterministic tree of N entries holding M mods, plus decoys.
// Both replace what an earlier run made, and refuse to touch a folder they did not make.

#include "packagewriter/texturepackagewriter.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStringEncoder>
#include <QSysInfo>
#include <QTextStream>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString homeMarker = QStringLiteral(".modgate-sample-home");
const QString treeMarker = QStringLiteral(".modgate-sample-tree");
const QString bundleName = QStringLiteral("Unreal Tournament 2004.app");

[[noreturn]] void fail(const QString& message) {
    QTextStream(stderr) << "modgate-sample-installation: " << message << Qt::endl;
    std::exit(EXIT_FAILURE);
}

// Removes a folder and everything in it, links not followed. Works on the file system's bytes:
// the synthetic tree holds a name that is not valid UTF-8, which QDir cannot name.
bool removeTree(const QByteArray& folder) {
    const auto removeEntry = [](const char* path, const struct stat*, int type, struct FTW*) {
        return (type == FTW_DP ? ::rmdir(path) : ::unlink(path)) == 0 ? 0 : -1;
    };
    return ::nftw(folder.constData(), removeEntry, 64, FTW_DEPTH | FTW_PHYS) == 0;
}

// Empties a folder made by an earlier run (recognised by its marker file), or makes a new one.
void startAfresh(const QString& folder, const QString& marker) {
    QDir dir(folder);
    if (dir.exists() &&
        !dir.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (!QFileInfo::exists(dir.filePath(marker)))
            fail(QStringLiteral("%1 exists and was not made by this tool; not touching it")
                     .arg(folder));
        if (!removeTree(QFile::encodeName(dir.absolutePath())))
            fail(QStringLiteral("cannot remove %1").arg(folder));
    }
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("cannot create %1").arg(folder));
    QFile markerFile(dir.filePath(marker));
    if (!markerFile.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot write %1").arg(markerFile.fileName()));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).path()))
        fail(QStringLiteral("cannot create the folder of %1").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write %1").arg(path));
}

QByteArray utf16LittleEndianWithMark(const QString& text) {
    QStringEncoder encoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    return encoder.encode(text);
}

QByteArray withCrLf(QByteArray text) {
    return text.replace("\n", "\r\n");
}

// --- the sample installation ---

// The copies of the game players have: the classic bundle, the OldUnreal patch's Linux folder
// and the original Linux client's.
struct SampleLayout {
    QString name;
    QString gameFolder;   // below home
    QString executable;   // below the game folder
    QString logPath;      // below home
    QString systemFolder; // as the log's base-directory line names it, below the game folder
};

QList<SampleLayout> sampleLayouts() {
    const QString oldUnrealSystem = QSysInfo::currentCpuArchitecture() == u"arm64"
                                        ? QStringLiteral("SystemARM64")
                                        : QStringLiteral("System");
    const QString linuxLog = QStringLiteral(".ut2004/System/UT2004.log");
    return {
        {QStringLiteral("bundle"), QStringLiteral("Applications/") + bundleName,
         QStringLiteral("Contents/MacOS/Unreal Tournament 2004"),
         QStringLiteral("Library/Application Support/Unreal Tournament 2004/System/UT2004.log"),
         QStringLiteral("System")},
        {QStringLiteral("oldunreal"), QStringLiteral(".local/share/OldUnreal/UT2004"),
         oldUnrealSystem + QStringLiteral("/UT2004"), linuxLog, oldUnrealSystem + u'/'},
        {QStringLiteral("linux3369"), QStringLiteral("Games/ut2004"),
         QStringLiteral("System/ut2004-bin-linux-amd64"), linuxLog, QStringLiteral("System/")},
    };
}

QByteArray gameLog(const QString& gamePath, const QString& systemFolder) {
    // The last base-directory line is the one that counts; the first is from an older copy.
    const QString log = QStringLiteral("Log: Log file open, 12/06/26 21:14:02\n"
                                       "Init: Name subsystem initialized\n"
                                       "Init: Version: 3369 (128.29)\n"
                                       "Init: Command line: \n"
                                       "Init: Base directory: /Volumes/Old Games/%1/System\n"
                                       "Init: Character set: Unicode\n"
                                       "Exit: Exiting.\n"
                                       "Log: Log file closed, 12/06/26 21:40:57\n"
                                       "Log: Log file open, 12/06/26 22:03:11\n"
                                       "Init: Name subsystem initialized\n"
                                       "Init: Version: 3374 (128.29)\n"
                                       "Init: Command line: -mod=ExampleMod\n"
                                       "Init: Base directory: %2/%3\n"
                                       "Init: Character set: Unicode\n"
                                       "Init: Computer: player-pc\n"
                                       "Log: Loading: Package Engine\n"
                                       "Exit: Exiting.\n"
                                       "Log: Log file closed, 12/06/26 22:31:45\n")
                            .arg(bundleName, gamePath, systemFolder);
    return log.toUtf8();
}

struct SampleManifest {
    const char* path;
    QByteArray bytes;
};

QList<SampleManifest> sampleManifests() {
    return {
        // Quoted title, a command line, a URL without a scheme.
        {"ExampleMod/ut2k4mod.ini",
         "[Mod]\n"
         "ModTitle=\"Example Mod\"\n"
         "ModCmdLine=-example -log\n"
         "ModURL=www.example.com/examplemod\n"
         "ModLogo=ExampleModTex.Menu.Logo\n"
         "ModDesc=\"The example that comes with Modgate.||Its logo is a masked 8-bit texture: "
         "the corners show the pane through.|Read more at https://www.example.com/examplemod.\"\n"},
        // A leftover backup beside it: not a manifest.
        {"ExampleMod/ut2k4mod.ini.bak", "[Mod]\nModTitle=Example Mod (old)\n"},
        // Upper-case file name and keys, a full http address, spaces before the values.
        {"AlienInvasion/UT2K4MOD.INI", "[Mod]\n"
                                       "MODTITLE=  \"Alien Invasion\"\n"
                                       "ModCmdLine=   -invasion\n"
                                       "ModUrl=http://www.example.com/alieninvasion\n"
                                       "MODLOGO=AlienTextures.Logo\n"
                                       "MODDESC=Defend the base against waves of invaders."
                                       "|Logo: DXT1, with see-through blocks.\n"},
        // CR LF line ends throughout, an https address.
        {"FrontLine/UT2k4Mod.ini", withCrLf("; Front Line total conversion\n"
                                            "[Mod]\n"
                                            "ModTitle=Front Line: Ostfront\n"
                                            "ModCmdLine=-nohomedir\n"
                                            "ModURL=https://frontline.example.org/\n"
                                            "ModLogo=FrontLineMenu.Banner\n"
                                            "ModDesc=A total conversion set on the Eastern Front."
                                            "|Logo: DXT5.\n")},
        // UTF-16 little endian with a byte-order mark, a title outside ASCII.
        {"Troopers/ut2k4mod.ini",
         utf16LittleEndianWithMark(QStringLiteral("[Mod]\r\n"
                                                  "ModTitle=Troopers \u2013 Dawn of Destiny\r\n"
                                                  "ModURL=www.example.net/troopers\r\n"
                                                  "ModLogo=TroopersUI.Logo\r\n"
                                                  "ModDesc=Logo: 32-bit RGBA.\r\n"))},
        // A second manifest nested inside the same mod.
        {"FragOps/ut2k4mod.ini", "[Mod]\n"
                                 "ModTitle=Frag.Ops\n"
                                 "ModURL=http://www.example.com/fragops\n"
                                 "ModLogo=FragOpsMenu.Logo\n"
                                 "ModDesc=Its logo's package is missing: no logo.\n"},
        {"FragOps/Extras/Training/ut2k4mod.ini", "[Mod]\n"
                                                 "ModTitle=Frag.Ops Training\n"
                                                 "ModCmdLine=-training\n"},
        // Nothing recognised: the row shows the folder alone.
        {"Leftovers/ut2k4mod.ini", "[Engine.GameEngine]\n"
                                   "ServerPackages=Leftovers\n"
                                   "ModTitle = Spaces before the sign do not count\n"},
        // No web address.
        {"NoLinkMod/ut2k4mod.ini", "[Mod]\n"
                                   "ModTitle=No Link Mod\n"
                                   "ModCmdLine=\"-windowed\"\n"
                                   "ModDesc=No web site, and only a splash picture for a logo.\n"},
        // A five-character address.
        {"ShortLink/ut2k4mod.ini", "[Mod]\n"
                                   "modtitle=Short Link\n"
                                   "modurl=ab.cd\n"},
    };
}

// A banner as mods have them, 512 x 128: a gradient panel with rounded, see-through corners and
// the mod's name. A flat one has few enough colours for a palette of its own.
QImage sampleLogo(const QString& title, const QColor& from, const QColor& to) {
    QImage logo(512, 128, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, 128);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    QPainterPath panel;
    panel.addRoundedRect(QRectF(4, 4, 504, 120), 28, 28);
    painter.fillPath(panel, gradient);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 3));
    painter.drawPath(panel);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(44);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 512, 128), Qt::AlignCenter, title);
    return logo;
}

void makeSampleInstallation(const QString& gamePath, const QString& out,
                            const QString& layoutName) {
    const QFileInfo game(gamePath);
    if (!game.isFile())
        fail(QStringLiteral("no sample game at %1").arg(gamePath));
    const QList<SampleLayout> layouts = sampleLayouts();
    const auto layout = std::find_if(layouts.begin(), layouts.end(),
                                     [&](const SampleLayout& l) { return l.name == layoutName; });
    if (layout == layouts.end())
        fail(QStringLiteral("unknown layout %1").arg(layoutName));

    const QString home = QDir::cleanPath(QDir(out).absoluteFilePath(QStringLiteral("home")));
    startAfresh(home, homeMarker);
    const QString folder = home + u'/' + layout->gameFolder;
    writeFile(home + u'/' + layout->logPath, gameLog(folder, layout->systemFolder));

    const QString executable = folder + u'/' + layout->executable;
    QDir().mkpath(QFileInfo(executable).path());
    if (!QFile::copy(game.absoluteFilePath(), executable))
        fail(QStringLiteral("cannot copy the sample game to %1").arg(executable));
    QFile::setPermissions(executable, game.permissions() | QFileDevice::ExeOwner |
                                          QFileDevice::ExeUser | QFileDevice::ExeGroup |
                                          QFileDevice::ExeOther);

    if (layout->name == u"bundle")
        writeFile(folder + QStringLiteral("/Contents/Info.plist"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>CFBundleExecutable</key><string>Unreal Tournament 2004</string>"
                  "</dict></plist>\n");
    writeFile(folder + QStringLiteral("/System/UT2004.ini"),
              "[Engine.Engine]\nRenderDevice=OpenGLDrv.OpenGLRenderDevice\n");
    writeFile(folder + QStringLiteral("/System/Core.u"), QByteArray(64, '\0'));
    writeFile(folder + QStringLiteral("/Maps/DM-Rankin.ut2"), QByteArray(64, '\0'));

    for (const SampleManifest& manifest : sampleManifests()) {
        const QString path = folder + u'/' + QString::fromUtf8(manifest.path);
        writeFile(path, manifest.bytes);
        // Every mod carries some content of its own beside its manifest.
        const QString mod = QString::fromUtf8(manifest.path).section(u'/', 0, 0);
        writeFile(folder + u'/' + mod + QStringLiteral("/System/") + mod + QStringLiteral(".u"),
                  QByteArray(32, '\0'));
    }

    // A logo for each mod in another of the formats mods use; FragOps names a package that is not
    // there, and AlienInvasion keeps its textures in a lower-case folder, as Windows allows.
    struct SampleLogo {
        const char* file;
        const char* object;
        packagewriter::Format format;
        bool masked;
        const char* title;
        QColor from, to;
    };
    const SampleLogo logos[] = {
        {"ExampleMod/Textures/ExampleModTex.utx", "Menu.Logo", packagewriter::Format::P8, true,
         "EXAMPLE MOD", QColor(0x1f, 0x6f, 0xb5), QColor(0x1f, 0x6f, 0xb5)},
        {"AlienInvasion/textures/AlienTextures.utx", "Logo", packagewriter::Format::DXT1, false,
         "ALIEN INVASION", QColor(0x2e, 0x8b, 0x3e), QColor(0x0b, 0x2e, 0x12)},
        {"FrontLine/Textures/FrontLineMenu.utx", "Banner", packagewriter::Format::DXT5, false,
         "FRONT LINE", QColor(0x8a, 0x6d, 0x3b), QColor(0x3b, 0x2a, 0x12)},
        {"Troopers/Textures/TroopersUI.utx", "Logo", packagewriter::Format::RGBA8, false,
         "TROOPERS", QColor(0xb3, 0x3a, 0x3a), QColor(0x3a, 0x0e, 0x2e)},
    };
    for (const SampleLogo& logo : logos)
        writeFile(folder + u'/' + QLatin1StringView(logo.file),
                  packagewriter::packageWithTexture(
                      sampleLogo(QLatin1StringView(logo.title), logo.from, logo.to), logo.format,
                      QLatin1StringView(logo.object), logo.masked));

    // The one mod without a package gets its splash picture, which serves as its logo.
    const QString splash = folder + QStringLiteral("/NoLinkMod/Help/NoLinkModLogo.bmp");
    QDir().mkpath(QFileInfo(splash).path());
    if (!sampleLogo(QStringLiteral("No Link Mod"), QColor(0x55, 0x55, 0x55),
                    QColor(0x22, 0x22, 0x22))
             .convertToFormat(QImage::Format_RGB32)
             .save(splash, "BMP"))
        fail(QStringLiteral("cannot write %1").arg(splash));

    QTextStream(stdout) << "home: " << home << "\ngame: " << folder
                        << "\nexecutable: " << executable << Qt::endl;
}

// --- the synthetic tree ---

// Creates entries with plain system calls, counting each one: a million of them must not take
// minutes.
class TreeBuilder {
public:
    TreeBuilder(QByteArray root, qint64 limit) : root(std::move(root)), limit(limit) {}

    qint64 entries() const { return count; }
    bool full() const { return count >= limit; }

    bool folder(const QByteArray& relative) {
        if (full())
            return false;
        if (::mkdir(path(relative).constData(), 0755) != 0 && errno != EEXIST)
            fail(QStringLiteral("cannot create folder %1").arg(QFile::decodeName(relative)));
        ++count;
        return true;
    }

    bool file(const QByteArray& relative, const QByteArray& content = {}) {
        if (full())
            return false;
        const int fd = ::open(path(relative).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            fail(QStringLiteral("cannot create file %1").arg(QFile::decodeName(relative)));
        const bool written = content.isEmpty() || ::write(fd, content.constData(),
                                                          size_t(content.size())) == content.size();
        if (::close(fd) != 0 || !written)
            fail(QStringLiteral("cannot write file %1").arg(QFile::decodeName(relative)));
        ++count;
        return true;
    }

    bool link(const QByteArray& relative, const QByteArray& target) {
        if (full())
            return false;
        if (::symlink(target.constData(), path(relative).constData()) != 0)
            fail(QStringLiteral("cannot create link %1").arg(QFile::decodeName(relative)));
        ++count;
        return true;
    }

private:
    QByteArray path(const QByteArray& relative) const { return root + '/' + relative; }

    QByteArray root;
    qint64 limit;
    qint64 count = 1; // the marker file
};

QByteArray treeManifest(int mod) {
    const QByteArray text = "[Mod]\nModTitle=\"Synthetic Mod " + QByteArray::number(mod) +
                            "\"\nModCmdLine=-mod" + QByteArray::number(mod) +
                            "\nModURL=www.example.com/mods/" + QByteArray::number(mod) + "\n";
    // Every fourth one has CR LF line ends.
    return mod % 4 == 3 ? withCrLf(text) : text;
}

void makeTree(const QString& folder, qint64 entries, int mods) {
    if (entries < 1 || mods < 0)
        fail(QStringLiteral("--entries must be at least 1 and --mods not negative"));
    startAfresh(folder, treeMarker);
    TreeBuilder tree(QFile::encodeName(QDir(folder).absolutePath()), entries);
    qint64 manifests = 0;

    // The bundle's own parts, with a link loop and a dangling link.
    tree.folder("Contents");
    tree.folder("Contents/MacOS");
    tree.file("Contents/MacOS/Unreal Tournament 2004");
    tree.link("Contents/MacOS/GameData", "../..");
    tree.folder("Contents/Resources");
    tree.link("Contents/Resources/Dangling", "../Missing/Nowhere");
    const QList<QByteArray> gameFolders{"System", "Textures",     "Sounds",     "Maps",
                                        "Music",  "StaticMeshes", "Animations", "Help"};
    for (const QByteArray& name : gameFolders)
        tree.folder(name);
    // A folder named like a manifest counts as one (and is walked into); a hidden one is walked.
    if (tree.folder("Decoys")) {
        tree.folder("Decoys/ut2k4mod.ini");
        if (tree.file("Decoys/ut2k4mod.ini/readme.txt"))
            ++manifests;
        tree.folder("Decoys/.hidden");
        tree.file("Decoys/.hidden/notes.txt");
    }
    // A hidden mod and one whose folder name is not valid UTF-8: both are mods all the same.
    if (tree.folder(".HiddenMod") && tree.file(".HiddenMod/ut2k4mod.ini", treeManifest(-1)))
        ++manifests;
    if (tree.folder("Odd\xff\xfeMod") && tree.file("Odd\xff\xfeMod/ut2k4mod.ini", treeManifest(-2)))
        ++manifests;

    // The mods: a folder, a manifest (some upper case), leftovers that are not manifests.
    QList<QByteArray> containers = gameFolders;
    for (int mod = 0; mod < mods && !tree.full(); ++mod) {
        const QByteArray name = "Mod" + QByteArray::number(mod).rightJustified(5, '0');
        if (!tree.folder(name))
            break;
        containers.append(name);
        const QByteArray manifestName = mod % 3 == 1 ? "UT2K4MOD.INI" : "ut2k4mod.ini";
        if (tree.file(name + '/' + manifestName, treeManifest(mod)))
            ++manifests;
        if (mod % 5 == 0)
            tree.file(name + "/ut2k4mod.ini.bak", treeManifest(mod));
        if (mod % 7 == 0)
            tree.file(name + "/myut2k4mod.ini", treeManifest(mod));
        if (mod % 11 == 0 && tree.folder(name + "/.svn"))
            tree.file(name + "/.svn/entries");
    }

    // Filler: folders of forty files, two levels deep, spread over the game's and mods' folders.
    for (qint64 group = 0; !tree.full(); ++group) {
        const QByteArray parent = containers.at(group % containers.size()) + "/Data" +
                                  QByteArray::number(group).rightJustified(6, '0');
        if (!tree.folder(parent))
            break;
        for (int file = 0; file < 40; ++file)
            if (!tree.file(parent + "/Package" + QByteArray::number(file) + ".u"))
                break;
    }

    QTextStream(stdout) << "tree: " << folder << "\nentries: " << tree.entries()
                        << "\nmanifests: " << manifests << Qt::endl;
}

} // namespace

int main(int argc, char** argv) {
    // Logos are drawn with text, which needs the font system but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("modgate-sample-installation"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Builds a sample game installation, or a large tree for benchmarks."));
    parser.addHelpOption();
    const QCommandLineOption gameOption(QStringLiteral("game"),
                                        QStringLiteral("The sample game executable to install."),
                                        QStringLiteral("path"));
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("Folder that receives home/."),
                                       QStringLiteral("dir"));
    const QCommandLineOption treeOption(QStringLiteral("tree"),
                                        QStringLiteral("Folder to fill with a synthetic tree."),
                                        QStringLiteral("dir"));
    const QCommandLineOption entriesOption(QStringLiteral("entries"),
                                           QStringLiteral("Entries in the synthetic tree."),
                                           QStringLiteral("N"), QStringLiteral("100000"));
    const QCommandLineOption modsOption(QStringLiteral("mods"),
                                        QStringLiteral("Mods in the synthetic tree."),
                                        QStringLiteral("M"), QStringLiteral("100"));
    const QCommandLineOption layoutOption(QStringLiteral("layout"),
                                          QStringLiteral("oldunreal, linux3369 or bundle."),
                                          QStringLiteral("name"), QStringLiteral("oldunreal"));
    parser.addOptions({gameOption, outOption, layoutOption, treeOption, entriesOption, modsOption});
    parser.process(application);

    if (parser.isSet(treeOption)) {
        bool entriesOk = false;
        bool modsOk = false;
        const qint64 entries = parser.value(entriesOption).toLongLong(&entriesOk);
        const int mods = parser.value(modsOption).toInt(&modsOk);
        if (!entriesOk || !modsOk)
            fail(QStringLiteral("--entries and --mods take whole numbers"));
        makeTree(parser.value(treeOption), entries, mods);
        return EXIT_SUCCESS;
    }
    if (!parser.isSet(gameOption) || !parser.isSet(outOption))
        parser.showHelp(EXIT_FAILURE);
    makeSampleInstallation(parser.value(gameOption), parser.value(outOption),
                           parser.value(layoutOption));
    return EXIT_SUCCESS;
}
