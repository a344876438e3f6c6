#pragma once

#include "TestService.h"
#include "data/CountFile.h"
#include "data/Cp1255.h"
#include "data/DataDir.h"
#include "data/Journal.h"
#include "order/OrderRecord.h"
#include "order/OrderSubmitter.h"
#include "platform/ProgramLauncher.h"
#include "ui/CaptionButton.h"
#include "ui/WindowRegistry.h"
#include "ui/components/DialogHooks.h"
#include "ui/components/EditCombo.h"
#include "ui/windows/start1.h"
#include "ui/windows/velmora.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace velmora::testing {

using namespace Qt::Literals::StringLiterals;

// The order pad over a data directory of its own, talking to a velmora-service on a loopback
// port. The service serves the sample site with the order template of 042 taken from
// tests/fixtures/submission (so the expected documents do not move with the sample site) and a
// fresh order-number database: the first order to 042 gets 4201. The document viewer is a
// launcher that records what it was asked to start. Message boxes are recorded by the dialog
// hooks, never shown.
class SubmissionFixture : public ::testing::Test {
protected:
    // Shops of the sample site: 042, 777 and 215 are served, 618 is not, 999 does not exist.
    static constexpr int kShop042 = 0;
    static constexpr int kShop618 = 1;
    static constexpr int kShop777 = 2;
    static constexpr int kShop215 = 3;
    static constexpr int kShop999 = 4;

    SubmissionFixture() {
        test::TestService::Options options;
        options.startNow = false;
        primary = std::make_unique<test::TestService>(options);
        QFile::remove(primary->siteDir() + "/sb042.htm");
        QFile::copy(fixture("sb042.htm"), primary->siteDir() + "/sb042.htm");
        context.primaryServer = primary->hostPort();
        context.fallbackServer = QStringLiteral("127.0.0.1:1");
    }

    void SetUp() override {
        ASSERT_TRUE(primary->start()) << primary->errorString().toStdString();
        context.primaryServer = primary->hostPort();
        context.dataDir = dataDir();
        context.viewer = QStringLiteral("/opt/viewer/show-html");
        context.launcher = platform::ProgramLauncher(
            [this](const QString& program, const QStringList& arguments) {
                viewerStarts.append(QStringList{program} + arguments);
                return viewerStartSucceeds;
            },
            [](const QString&, const QString&) { return false; });
        writeDataFiles();
    }

    void TearDown() override {
        m_registry.reset();
        flushDeletes();
    }

    // --- data directory ---------------------------------------------------------------------

    static QString fixture(const QString& name) {
        return QStringLiteral(VELMORA_FIXTURES_DIR "/submission/") + name;
    }
    static QByteArray fixtureBytes(const QString& name) {
        QFile file(fixture(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    data::DataDir dataDir() const { return data::DataDir(m_dir.path()); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeBytes(const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // The lines in Windows-1255, each ended by CR LF.
    void writeLines(const QString& name, const QStringList& lines) {
        QByteArray bytes;
        for (const QString& line : lines)
            bytes += data::toCp1255(line) + "\r\n";
        writeBytes(name, bytes);
    }

    void writeDataFiles() {
        writeLines("const.dat", {u"דנה לוי"_s, "04-8123456", u"יוסי כהן"_s, "   "});
        writeLines("ruf25.dat", {u"דפוס הצפון kod042"_s, u"העתקות הגליל kod618"_s, u"שרון פלוט kod777"_s,
                                 u"מרכז הנגב kod215"_s, "Unknown Print kod999"});
        writeLines("ruf27.dat", {"kod042 EM:tzafon@tzafon-print.co.il", "kod618 EM:galil@galil-copy.co.il",
                                 "kod777 EM:sharon@sharon-plot.co.il", "kod215 EM:&nbsp;"});
        writeLines("hes.dat", {u"עיריית חיפה"_s, "Acme Ltd"});
        writeLines("pro.dat", {"Tower A", u"מגדל ב"_s});
        writeLines("lis.dat", {u"משרד א"_s, u"משרד ב"_s, u"משרד ג"_s});
        ASSERT_TRUE(data::writeCount(dataDir(), "hescol.dat", 2));
        ASSERT_TRUE(data::writeCount(dataDir(), "procol.dat", 2));
        ASSERT_TRUE(data::writeCount(dataDir(), "liscol.dat", 3));
        ASSERT_TRUE(data::writeCount(dataDir(), "vlc.dat", 0));
        writeLines("korok.txt", {u"<h2>הזמנת העתקות - משרד התכנון בע''מ</h2>"_s});
        // The template of an earlier order: a failed submission must leave it in place.
        writeBytes("sbl.htm", "<html><head></head><body>140561 earlier template</body></html>\r\n");
    }

    // Every file of the data directory with its bytes.
    QMap<QString, QByteArray> snapshot() const {
        QMap<QString, QByteArray> files;
        const QStringList names = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : names)
            files.insert(name, read(name));
        return files;
    }

    qsizetype journalRecords() const {
        const Result<data::JournalScan> shape = data::Journal(dataDir()).shape();
        return shape ? shape->records : -1;
    }
    order::OrderRecord journalRecord(qsizetype number) const {
        const Result<data::JournalRecord> record = data::Journal(dataDir()).read(number);
        return record ? order::fromJournalRecord(*record) : order::OrderRecord();
    }

    // --- windows ----------------------------------------------------------------------------

    ui::WindowRegistry& registry() {
        if (!m_registry)
            m_registry = std::make_unique<ui::WindowRegistry>(context);
        return *m_registry;
    }

    // The order pad with a print shop chosen, the date fixed and the first file row filled: an
    // order that passes every check.
    ui::velmora& openPad(int shop = kShop042) {
        ui::velmora& pad = registry().open<ui::velmora>();
        pad.Combo3->setListIndex(shop);
        pad.Text24->setText(QStringLiteral("05-03-04"));
        pad.Text3->setText(QStringLiteral("plan-a.plt"));
        pad.Text4->setText(QStringLiteral("2"));
        return pad;
    }

    void setSelector(const QString& text) { registry().ensure<ui::start1>().Text1->setText(text); }

    static void click(ui::velmora& pad) { QTest::mouseClick(pad.Command1, Qt::LeftButton); }

    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

    static QStringList messages() { return ui::DialogHooks::shownMessages(); }

    ui::DialogHooks::Scope hooks;
    std::unique_ptr<test::TestService> primary;
    ui::WindowContext context;
    QList<QStringList> viewerStarts;
    bool viewerStartSucceeds = true;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ui::WindowRegistry> m_registry;
};

} // namespace velmora::testing
