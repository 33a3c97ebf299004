// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controller.h"
#include "app/details/moddetailspane.h"
#include "app/install/installplandialog.h"
#include "app/install/modinstallflow.h"
#include "app/launcher.h"
#include "fixtures.h"
#include "support/userdefaults.h"
#include "testmain.h"
#include "window/vxfadewindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDirIterator>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <archive.h>
#include <archive_entry.h>
#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

la_ssize_t appendTo(archive*, void* client, const void* buffer, size_t length) {
    static_cast<QByteArray*>(client)->append(static_cast<const char*>(buffer), qsizetype(length));
    return la_ssize_t(length);
}

// A zip of these files, "name=content" split at ";".
QByteArray zipOf(const QString& files) {
    std::unique_ptr<archive, decltype(&archive_write_free)> writer(archive_write_new(),
                                                                   &archive_write_free);
    QByteArray out;
    archive_write_set_format_zip(writer.get());
    archive_write_open(writer.get(), &out, nullptr, appendTo, nullptr);
    for (const QString& file : files.split(u';')) {
        const QByteArray name = file.section(u'=', 0, 0).toUtf8();
        const QByteArray data = file.section(u'=', 1).toUtf8();
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            &archive_entry_free);
        archive_entry_set_pathname(entry.get(), name.constData());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), data.size());
        archive_write_header(writer.get(), entry.get());
        archive_write_data(writer.get(), data.constData(), size_t(data.size()));
    }
    archive_write_close(writer.get());
    return out;
}

// Every file and folder below a folder, hidden ones too, with the files' bytes.
QStringList treeOf(const QString& folder) {
    QStringList tree;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        QFile file(info.filePath());
        tree << QDir(folder).relativeFilePath(info.filePath()) + u'=' +
                    (info.isFile() && file.open(QIODevice::ReadOnly) ? file.readAll() : "/");
    }
    tree.sort();
    return tree;
}

const QString modFiles = u"MyMod/ut2k4mod.ini=[Mod]\nModTitle=My Mod\n;"
                         "MyMod/Maps/DM-Mine.ut2=map;MyMod/System/MyMod.u=code"_s;

} // namespace

class TestInstallWindow : public QObject {
    Q_OBJECT

    QTemporaryDir temp;
    QString game;
    std::unique_ptr<Launcher> launcher;
    QStringList planShown; // the plan dialog's rows, as the player would have seen them
    bool answer = true;
    QString controlsDuringPlan;

    Controller& controller() { return launcher->controller(); }

    // The download dropped on the window; true once the flow has ended and the mods are listed.
    bool drop(const QString& download) { return dropOnly(download) && finished(); }
    bool dropOnly(const QString& download) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(download)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&launcher->window(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&launcher->window(), &dropped);
        return true;
    }
    bool finished() {
        QSignalSpy ended(controller().installFlow, &ModInstallFlow::finished);
        return ended.wait(30000) && QTest::qWaitFor([&] { return !controller().isBusy(); }, 30000);
    }
    // A download large enough that its install is still writing when the next event comes.
    QString bigDownload() {
        const QString download = temp.filePath(u"Big.zip"_s);
        fixtures::writeFile(download, zipOf(u"Big/ut2k4mod.ini=[Mod];Big/Maps/DM-Big.ut2="_s +
                                            QString(64 << 20, u'x')));
        return download;
    }
    QString selectedFolder() {
        const int row = controller().selectedRow();
        return row < 0 ? u"none"_s : controller().mods.at(row).launchName.value_or(u"game"_s);
    }

private slots:
    void init() {
        game = temp.filePath(u"game"_s);
        QVERIFY(fixtures::makeGame(game, fixtures::Layout::OldUnreal));
        QVERIFY(fixtures::makeTree(game, u"f:System/Core.u;f:Other/ut2k4mod.ini"_s));
        UserDefaults::standard().setObjectForKey(game, u"unrealPath"_s);
        launcher = std::make_unique<Launcher>();
        Controller& c = controller();
        c.setWellKnownGameFolders({});
        c.awakeFromNib();
        QTRY_VERIFY_WITH_TIMEOUT(c.mods.size() == 2 && !c.isBusy(), 30000);
        planShown.clear();
        answer = true;
        c.installFlow->setPlanDialog([this](const InstallPlan& plan, const QString& folder) {
            InstallPlanDialog dialog(plan, folder);
            for (QTreeWidgetItemIterator it(dialog.planView()); *it; ++it)
                planShown << (*it)->text(0);
            planShown << dialog.installButton()->text();
            const Controller& c = controller();
            controlsDuringPlan = u"%1 %2 %3"_s.arg(c.launchButton->isEnabled())
                                     .arg(c.reloadButton->isEnabled())
                                     .arg(c.installButton->isEnabled());
            return answer;
        });
    }
    void cleanup() {
        launcher.reset();
        QDir(game).removeRecursively();
    }

    // Dropped, planned, installed, selected. (The end-to-end journey removes one again through
    // the pane, and hands one to a running Modgate.)
    void installDropped() {
        const QString download = temp.filePath(u"MyMod.zip"_s);
        QVERIFY(fixtures::writeFile(download, zipOf(modFiles)));
        QVERIFY(drop(download));
        QCOMPARE(planShown,
                 QStringList({u"New (3)"_s, u"MyMod/Maps/DM-Mine.ut2"_s, u"MyMod/System/MyMod.u"_s,
                              u"MyMod/ut2k4mod.ini"_s, u"Install"_s}));
        // Nothing starts or lists again while the install runs.
        QCOMPARE(controlsDuringPlan, u"0 0 0"_s);
        Controller& c = controller();
        QTRY_COMPARE(selectedFolder(), u"MyMod"_s);
        QCOMPARE(c.statusField->text(), u"Installed MyMod."_s);
        QVERIFY(c.launchButton->isEnabled() && c.reloadButton->isEnabled());
        QVERIFY(treeOf(game).contains(u"MyMod/Maps/DM-Mine.ut2=map"_s));
    }

    // A folder Modgate did not install goes whole, after asking; never the plain game.
    void removeForeignFolder() {
        Controller& c = controller();
        c.tableView->selectRow(0);
        QVERIFY(!c.detailsPane->removeButton()->isEnabled());
        c.tableView->selectRow(1);
        QVERIFY(c.detailsPane->removeButton()->isEnabled());
        QString question;
        c.installFlow->setConfirmation([&question](const QString& asked) {
            question = asked;
            return false;
        });
        c.detailsPane->removeButton()->click();
        QVERIFY(question.contains(u"the whole folder %1/Other"_s.arg(game)));
        QVERIFY(QFileInfo::exists(game + u"/Other"_s));
        c.installFlow->setConfirmation([](const QString&) { return true; });
        QTest::keyClick(c.tableView, Qt::Key_Delete);
        QVERIFY(finished());
        QCOMPARE(c.statusField->text(), u"Removed Other."_s);
        QVERIFY(!QFileInfo::exists(game + u"/Other"_s));
    }

    // Cancel on the progress dialog stops the install, which undoes what it wrote.
    void cancelledWhileInstalling() {
        const QStringList before = treeOf(game);
        QString shown;
        controller().installFlow->setPlanDialog([&](const InstallPlan&, const QString&) {
            // As soon as the install has started.
            QTimer::singleShot(0, this, [&] {
                auto* progress =
                    launcher->window().findChild<QProgressDialog*>(u"installProgress"_s);
                QPushButton* cancel = progress->findChild<QPushButton*>();
                cancel->click();
                // Shown until the install has undone its writes.
                shown = u"%1 %2 %3"_s.arg(progress->isVisible())
                            .arg(cancel->isEnabled())
                            .arg(progress->labelText());
            });
            return true;
        });
        QVERIFY(drop(bigDownload()));
        QCOMPARE(shown, u"1 0 Cancelling..."_s);
        QCOMPARE(controller().statusField->text(),
                 u"Installing Big.zip was cancelled: nothing changed."_s);
        QCOMPARE(treeOf(game), before);
    }

    void closedWhileChanging_data() {
        QTest::addColumn<bool>("removal");
        QTest::addColumn<bool>("quit"); // Ctrl+Q first, else the window manager's close
        QTest::addColumn<QString>("shown");
        QTest::newRow("install, closed") << false << false << u"Cancelling..."_s;
        QTest::newRow("removal, quit") << true << true << u"Removing My Mod..."_s;
    }
    // Closing or quitting while the game folder is changed waits, the window painted and saying
    // why, until the install has undone its writes or the removal has ended; a second request
    // forces nothing. Then the window closes (or the application quits) by itself.
    void closedWhileChanging() {
        QFETCH(bool, removal);
        QFETCH(bool, quit);
        QFETCH(QString, shown);
        const QStringList before = treeOf(game);
        const QString download = removal ? temp.filePath(u"MyMod.zip"_s) : bigDownload();
        if (removal)
            QVERIFY(fixtures::writeFile(download, zipOf(modFiles)) && drop(download));
        VXFadeWindow& window = launcher->window();
        QTRY_COMPARE(window.alphaValue(), 1.0f); // a close while fading in is ignored
        QString seen;
        const auto close = [&window] {
            QCloseEvent event;
            QCoreApplication::sendEvent(window.windowHandle(), &event);
        };
        const QList<QAction*> actions = window.actions();
        QAction* quitAction = *std::find_if(actions.begin(), actions.end(), [](QAction* action) {
            return action->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q));
        });
        // Asked as soon as the worker runs, before it can report.
        const auto request = [&] {
            QTimer::singleShot(0, &window, [&] {
                if (quit)
                    quitAction->trigger();
                close();
                if (!quit)
                    quitAction->trigger();
                const auto* progress = window.findChild<QProgressDialog*>(u"installProgress"_s);
                seen =
                    u"%1 %2"_s.arg(window.isVisible())
                        .arg(progress && progress->isVisible() ? progress->labelText()
                                                               : controller().statusField->text());
            });
            return true;
        };
        controller().installFlow->setPlanDialog(
            [&](const InstallPlan&, const QString&) { return request(); });
        controller().installFlow->setConfirmation([&](const QString&) { return request(); });
        if (removal) {
            QTRY_VERIFY(controller().detailsPane->removeButton()->isEnabled());
            controller().detailsPane->removeButton()->click();
        } else {
            QVERIFY(dropOnly(download));
        }
        QTimer::singleShot(30000, &window, [] { QCoreApplication::exit(1); }); // if it never ends
        QCOMPARE(QCoreApplication::exec(), 0);
        QCOMPARE(seen, u"1 "_s + shown);
        QCOMPARE(window.isVisible(), quit);
        QCOMPARE(treeOf(game), before);
    }

    // A logout's SIGTERM quits as Ctrl+Q does, so it waits for an install too.
    void terminated() {
        QTimer::singleShot(0, &launcher->window(), [] { ::raise(SIGTERM); });
        QTimer::singleShot(30000, &launcher->window(), [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    void refused_data() {
        QTest::addColumn<bool>("truncated");
        QTest::addColumn<QString>("status");
        QTest::newRow("cancelled at the plan")
            << false << u"MyMod.zip was not installed: nothing changed."_s;
        QTest::newRow("truncated download") << true << u"Could not install MyMod.zip: "_s;
    }
    // Nothing written, and the status line says why.
    void refused() {
        QFETCH(bool, truncated);
        QFETCH(QString, status);
        const QStringList before = treeOf(game);
        const QByteArray zip = zipOf(modFiles);
        const QString download = temp.filePath(u"MyMod.zip"_s);
        QVERIFY(fixtures::writeFile(download, truncated ? zip.left(60) : zip));
        answer = truncated; // a download broken past its headers fails while installing
        QVERIFY(drop(download));
        QVERIFY2(controller().statusField->text().startsWith(status),
                 qPrintable(controller().statusField->text()));
        QCOMPARE(treeOf(game), before);
        QCOMPARE(controller().mods.size(), 2);
    }
};

MODGATE_TEST_MAIN(TestInstallWindow)
#include "tst_installwindow.moc"
