// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the real launcher window against a bare window of the same widgets.
//
// Each start is its own process (this program again, with --child), run offscreen: the time from
// the parent's spawn, and from the child's main(), to the first paint of the window, and the
// child's peak resident memory (VmHWM) at that moment. The launcher runs its real start-up on
// the sample installation: Launcher (the window from its form, the controller wired to it) and
// Controller::awakeFromNib() (game located from the log, settings written, search started),
// behind the single-instance guard, as applicationMain() runs them. For the launcher, the time
// each step of start-up took is printed too.
//
//   bench_startup [--runs N] [--home SAMPLE_HOME]
//
// Without --home the sample installation is generated next to the build's tools.

#include "app/applicationmain.h"
#include "app/controller.h"
#include "app/launcher.h"
#include "app/singleinstance.h"
#include "peakmemory.h"
#include "window/vxfadewindow.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

qint64 monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Reports the first paint of the watched window and ends the process on the spot: what comes
// after start-up is not measured, and a search still running must not be torn down.
class FirstPaint : public QObject {
public:
    FirstPaint(qint64 spawned, qint64 mainEntered) : spawned(spawned), mainEntered(mainEntered) {}

    // A step of start-up ended now: it is printed as the time since the previous one.
    void stepDone(const char* name) {
        const qint64 now = monotonicNanoseconds();
        steps += QByteArray(" step_") + name + "_us=" + QByteArray::number((now - lastStep) / 1000);
        lastStep = now;
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const qint64 now = monotonicNanoseconds();
            if (!steps.isEmpty())
                stepDone("paint");
            std::printf("spawn_to_paint_us=%lld main_to_paint_us=%lld peak_kib=%lld%s\n",
                        (long long)((now - spawned) / 1000),
                        (long long)((now - mainEntered) / 1000), (long long)peakResidentKiB(),
                        steps.constData());
            std::fflush(stdout);
            _exit(0);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    qint64 spawned;
    qint64 mainEntered;
    qint64 lastStep = mainEntered;
    QByteArray steps;
};

// The launcher window's widgets, laid out alike, with nothing behind them: the game row, the
// table over the details pane (nothing selected: only its note shows), and the status row.
std::unique_ptr<QWidget> bareWindow() {
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Modgate"));
    window->resize(560, 640);
    auto* layout = new QVBoxLayout(window.get());
    auto* gameRow = new QHBoxLayout;
    gameRow->addWidget(new QLabel(QStringLiteral("&Game")));
    gameRow->addWidget(new QComboBox, 1);
    gameRow->addWidget(new QPushButton(QStringLiteral("Reload")));
    layout->addLayout(gameRow);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(new QTableView);
    auto* details = new QWidget;
    auto* detailsLayout = new QVBoxLayout(details);
    detailsLayout->addWidget(new QLabel(QStringLiteral("No mod selected.")), 1);
    auto* facts = new QFormLayout;
    for (const char* fact : {"Launch passes:", "Game folder:", "Executable:"})
        facts->addRow(QString::fromLatin1(fact), new QLineEdit);
    detailsLayout->addLayout(facts);
    for (QWidget* hidden : std::initializer_list<QWidget*>{new QLabel, new QLabel, new QTextBrowser,
                                                           new QPushButton("Visit Web Site")}) {
        detailsLayout->addWidget(hidden);
        hidden->hide();
    }
    for (int row = 0; row < facts->rowCount(); ++row)
        facts->setRowVisible(row, false);
    splitter->addWidget(details);
    layout->addWidget(splitter, 1);

    auto* statusRow = new QHBoxLayout;
    auto* busy = new QProgressBar;
    busy->setMaximumWidth(80);
    busy->setVisible(false);
    statusRow->addWidget(busy);
    statusRow->addWidget(new QLabel, 1);
    auto* showLog = new QPushButton(QStringLiteral("Show Log"));
    showLog->setVisible(false);
    statusRow->addWidget(showLog);
    auto* launch = new QPushButton(QStringLiteral("Launch"));
    launch->setEnabled(false);
    statusRow->addWidget(launch);
    layout->addLayout(statusRow);
    return window;
}

int childMain(int argc, char** argv, const QByteArray& kind, qint64 spawned) {
    const qint64 mainEntered = monotonicNanoseconds();
    QApplication application(argc, argv);
    FirstPaint firstPaint(spawned, mainEntered);

    if (kind == "bare") {
        const std::unique_ptr<QWidget> window = bareWindow();
        window->installEventFilter(&firstPaint);
        window->show();
        return QApplication::exec();
    }

    // As applicationMain() does, with the paint hook on the window.
    firstPaint.stepDone("application");
    configureApplication();
    const SingleInstance instance(SingleInstance::defaultSocketName());
    if (!instance.isFirst())
        return 1;
    firstPaint.stepDone("singleinstance");
    Launcher launcher;
    launcher.window().installEventFilter(&firstPaint);
    firstPaint.stepDone("launcher");
    launcher.controller().awakeFromNib();
    firstPaint.stepDone("awake");
    if (launcher.controller().hasTerminated()) {
        std::fprintf(stderr, "bench_startup: the game was not found; is HOME the sample home?\n");
        return 1;
    }
    return QApplication::exec();
}

struct Sample {
    double spawnToPaintMs = 0;
    double mainToPaintMs = 0;
    double peakMiB = 0;
    std::vector<std::pair<QByteArray, double>> stepsMs; // in the order they ran
};

std::optional<Sample> runChild(const QString& kind, const QString& home) {
    QTemporaryDir config; // a first start every time: the game is found through its log
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), config.path());
    child.setProcessEnvironment(environment);
    const qint64 spawned = monotonicNanoseconds();
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), kind, QString::number(spawned)});
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        // The offscreen platform's notes ("does not support raise()") are noise unless it failed.
        std::fputs(child.readAllStandardError().constData(), stderr);
        return std::nullopt;
    }
    Sample sample;
    bool complete = true;
    for (const QByteArray& field : child.readAllStandardOutput().trimmed().split(' ')) {
        const QList<QByteArray> pair = field.split('=');
        if (pair.size() != 2) {
            complete = false;
            continue;
        }
        const double value = pair.at(1).toDouble();
        if (pair.at(0) == "spawn_to_paint_us")
            sample.spawnToPaintMs = value / 1000.0;
        else if (pair.at(0) == "main_to_paint_us")
            sample.mainToPaintMs = value / 1000.0;
        else if (pair.at(0) == "peak_kib")
            sample.peakMiB = value / 1024.0;
        else if (pair.at(0).startsWith("step_"))
            sample.stepsMs.emplace_back(pair.at(0).sliced(5).chopped(3), value / 1000.0);
    }
    if (!complete || sample.peakMiB <= 0)
        return std::nullopt;
    return sample;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Median and best of each figure: on a busy machine the best run is the steadier figure.
struct Figures {
    double spawnToPaintMs, mainToPaintMs, peakMiB;
};

Figures summarize(const std::vector<Sample>& samples, bool best) {
    std::vector<double> spawn, main, peak;
    for (const Sample& sample : samples) {
        spawn.push_back(sample.spawnToPaintMs);
        main.push_back(sample.mainToPaintMs);
        peak.push_back(sample.peakMiB);
    }
    if (best)
        return {*std::min_element(spawn.begin(), spawn.end()),
                *std::min_element(main.begin(), main.end()),
                *std::min_element(peak.begin(), peak.end())};
    return {median(spawn), median(main), median(peak)};
}

void printComparison(const char* title, const Figures& bare, const Figures& app) {
    std::printf("%s\n", title);
    std::printf("  %-20s %16s %16s %12s\n", "", "spawn->paint ms", "main->paint ms", "peak MiB");
    std::printf("  %-20s %16.1f %16.1f %12.1f\n", "bare window", bare.spawnToPaintMs,
                bare.mainToPaintMs, bare.peakMiB);
    std::printf("  %-20s %16.1f %16.1f %12.1f\n", "modgate (sample)", app.spawnToPaintMs,
                app.mainToPaintMs, app.peakMiB);
    const double ratio = app.spawnToPaintMs / bare.spawnToPaintMs;
    const double extra = app.peakMiB - bare.peakMiB;
    std::printf("  time: %.2fx the bare window (goal <= 1.20x): %s; from main(): %.2fx\n", ratio,
                ratio <= 1.2 ? "met" : "NOT met", app.mainToPaintMs / bare.mainToPaintMs);
    std::printf("  peak memory: %+.1f MiB over the bare window (goal <= +5 MiB): %s\n", extra,
                extra <= 5.0 ? "met" : "NOT met");
}

// Where the launcher's time goes: the median of each step, and of the time before main() (the
// process and its libraries), which the bare window's process spends alike.
void printSteps(const std::vector<Sample>& bare, const std::vector<Sample>& app) {
    const auto beforeMain = [](const std::vector<Sample>& samples) {
        std::vector<double> values;
        for (const Sample& sample : samples)
            values.push_back(sample.spawnToPaintMs - sample.mainToPaintMs);
        return median(values);
    };
    std::printf("launcher's steps, median ms (bare window: %.1f before main())\n",
                beforeMain(bare));
    std::printf("  %-16s %8.1f\n", "before main()", beforeMain(app));
    for (size_t step = 0; step < app.front().stepsMs.size(); ++step) {
        std::vector<double> values;
        for (const Sample& sample : app)
            values.push_back(sample.stepsMs.at(step).second);
        std::printf("  %-16s %8.1f\n", app.front().stepsMs.at(step).first.constData(),
                    median(values));
    }
}

int parentMain(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    int runs = 9;
    QString home;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == QStringLiteral("--runs"))
            runs = std::max(1, arguments.at(++i).toInt());
        else if (arguments.at(i) == QStringLiteral("--home"))
            home = arguments.at(++i);
    }

    QTemporaryDir sample;
    if (home.isEmpty()) {
        const QString build = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
        const QString generator =
            build + QStringLiteral("/tools/sampleinstallation/modgate-sample-installation");
        const QString game = build + QStringLiteral("/tools/samplegame/modgate-sample-game");
        if (!QFileInfo(generator).isExecutable() || !QFileInfo(game).isExecutable()) {
            std::fprintf(stderr, "bench_startup: build the sample tools first, or pass --home\n");
            return 1;
        }
        QProcess generate;
        generate.setStandardOutputFile(QProcess::nullDevice());
        generate.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        generate.start(generator,
                       {QStringLiteral("--game"), game, QStringLiteral("--out"), sample.path()});
        if (!generate.waitForFinished(60000) || generate.exitStatus() != QProcess::NormalExit ||
            generate.exitCode() != 0) {
            std::fprintf(stderr, "bench_startup: the sample installation failed\n");
            return 1;
        }
        home = sample.path() + QStringLiteral("/home");
    }

    std::vector<Sample> bare, app;
    for (int run = 0; run < runs; ++run) {
        // Alternating which goes first keeps warm caches from favouring one side.
        const bool bareFirst = run % 2 == 0;
        for (const QString& kind :
             bareFirst ? QStringList{"bare", "app"} : QStringList{"app", "bare"}) {
            const std::optional<Sample> sample = runChild(kind, home);
            if (!sample) {
                std::fprintf(stderr, "bench_startup: the %s child failed\n", qPrintable(kind));
                return 1;
            }
            (kind == QStringLiteral("bare") ? bare : app).push_back(*sample);
        }
    }

    std::printf("Start-up to the first paint of the window, offscreen, %d runs each\n", runs);
    printComparison("median:", summarize(bare, false), summarize(app, false));
    printComparison("best:", summarize(bare, true), summarize(app, true));
    printSteps(bare, app);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "--child")
        return childMain(argc, argv, QByteArray(argv[2]), QByteArray(argv[3]).toLongLong());
    return parentMain(argc, argv);
}
