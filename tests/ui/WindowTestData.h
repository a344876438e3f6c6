#pragma once

#include "data/Cp1255.h"
#include "data/DataDir.h"
#include "ui/WindowRegistry.h"
#include "ui/components/DialogHooks.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace velmora::testing {

using namespace Qt::Literals::StringLiterals;

// A data directory holding what the order pad loads, with a window registry over it. Message
// boxes and file dialogs are answered by the dialog hooks, never shown.
class WindowTestData {
public:
    WindowTestData() {
        write("const.dat", {u"ישראל ישראלי"_s, "03-5551234", u"דנה כהן"_s, "   "});
        write("ruf25.dat", {"Print House kod012", u"דפוס הצפון kod007"_s, "Third Shop kod099"});
        write("ruf27.dat",
              {"kod012 Tel 03-1111111 EM:orders@print.example", "kod007 Tel 04-2222222 EM:&nbsp;"});
        write("hes.dat", {u"עיריית חיפה"_s, "Acme Ltd"});
        write("pro.dat", {"Tower A", u"מגדל ב"_s});
        write("lis.dat", {u"משרד א"_s, u"משרד ב"_s});
    }

    // The lines in Windows-1255, each ended by CR LF.
    void write(const QString& name, const QStringList& lines) {
        QByteArray bytes;
        for (const QString& line : lines)
            bytes += data::toCp1255(line) + "\r\n";
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    void remove(const QString& name) { QFile::remove(path(name)); }
    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    data::DataDir dataDir() const { return data::DataDir(m_dir.path()); }

    ui::WindowRegistry& registry() {
        if (!m_registry) {
            ui::WindowContext context;
            context.dataDir = dataDir();
            // Closed loopback ports: a start step refused at once, without a name look-up.
            context.primaryServer = QStringLiteral("127.0.0.1:1");
            context.fallbackServer = QStringLiteral("127.0.0.1:2");
            m_registry = std::make_unique<ui::WindowRegistry>(context);
        }
        return *m_registry;
    }

    // Lets closed windows finish their destruction.
    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }

private:
    ui::DialogHooks::Scope m_hooks;
    QTemporaryDir m_dir;
    std::unique_ptr<ui::WindowRegistry> m_registry;
};

} // namespace velmora::testing
