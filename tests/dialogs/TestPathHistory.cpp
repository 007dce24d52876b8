// The folder history rules: duplicates ignoring letter case, newest first, six at most,
// loading up to the first missing number.
#include "app/PathHistory.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <map>

using StoredValues = std::map<QString, QString>;
Q_DECLARE_METATYPE(StoredValues)

class TestPathHistory : public QObject {
    Q_OBJECT

private slots:
    void add_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("after");

        const QStringList six = {"/f", "/e", "/d", "/c", "/b", "/a"};
        QTest::newRow("newest first")
            << QStringList{"/a", "/b"} << "/c" << QStringList{"/c", "/a", "/b"};
        QTest::newRow("equal ignoring case keeps the stored spelling and place")
            << QStringList{"/x", "C:/Music", "/y"} << "c:/MUSIC"
            << QStringList{"/x", "C:/Music", "/y"};
        QTest::newRow("exact duplicate of the oldest stays last") << six << "/a" << six;
        QTest::newRow("seventh path drops the oldest")
            << six << "/g" << QStringList{"/g", "/f", "/e", "/d", "/c", "/b"};
        QTest::newRow("case of non-ASCII letters counts")
            << QStringList{"/Müsik"} << "/MÜSIK" << QStringList{"/MÜSIK", "/Müsik"};
    }

    void add() {
        QFETCH(QStringList, before);
        QFETCH(QString, path);
        QFETCH(QStringList, after);

        PathHistory history;
        // Built oldest first, so that the list reads as `before`.
        for (auto it = before.crbegin(); it != before.crend(); ++it)
            history.Add(*it);
        QCOMPARE(history.Entries(), before);
        history.Add(path);
        QCOMPARE(history.Entries(), after);
    }

    void load_data() {
        QTest::addColumn<StoredValues>("stored");
        QTest::addColumn<QStringList>("expected");

        const QString longPath = "/" + QString(300, QLatin1Char('p'));
        QTest::newRow("nothing stored") << StoredValues{} << QStringList();
        QTest::newRow("a gap ends the list")
            << StoredValues{{"1", "/one"}, {"2", "/two"}, {"4", "/four"}}
            << QStringList{"/one", "/two"};
        QTest::newRow("at most six")
            << StoredValues{{"1", "/1"}, {"2", "/2"}, {"3", "/3"}, {"4", "/4"},
                            {"5", "/5"}, {"6", "/6"}, {"7", "/7"}}
            << QStringList{"/1", "/2", "/3", "/4", "/5", "/6"};
        QTest::newRow("long paths load like any other")
            << StoredValues{{"1", "/short"}, {"2", longPath}, {"3", "/after"}}
            << QStringList{"/short", longPath, "/after"};
    }

    void load() {
        QFETCH(StoredValues, stored);
        QFETCH(QStringList, expected);

        QFile::remove(storeFile());
        {
            QSettings store(storeFile(), QSettings::IniFormat);
            store.beginGroup("SourcePathHistory");
            for (const auto& [key, value] : stored)
                store.setValue(key, value);
            store.endGroup();
            // Another list must not leak into this one.
            store.setValue("DestinationPathHistory/1", "/elsewhere");
        }
        QSettings store(storeFile(), QSettings::IniFormat);
        PathHistory history;
        history.Load(store, "SourcePathHistory");
        QCOMPARE(history.Entries(), expected);
    }

    void saveThenLoadKeepsOrderAndText() {
        QFile::remove(storeFile());
        PathHistory saved;
        for (const char* path : {"/a", "/B", " /c \"d\"", "/ü,=;#x", "/e", "/f", "/g"})
            saved.Add(QString::fromUtf8(path));
        {
            QSettings store(storeFile(), QSettings::IniFormat);
            saved.Save(store, "DestinationPathHistory");
        }
        QSettings store(storeFile(), QSettings::IniFormat);
        QCOMPARE(store.value("DestinationPathHistory/1").toString(), QString("/g"));
        PathHistory loaded;
        loaded.Load(store, "DestinationPathHistory");
        QCOMPARE(loaded.Entries(), saved.Entries());
        QCOMPARE(loaded.Entries().size(), 6);
    }

private:
    QString storeFile() const { return dir_.filePath(QStringLiteral("store.ini")); }

    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestPathHistory)
#include "TestPathHistory.moc"
