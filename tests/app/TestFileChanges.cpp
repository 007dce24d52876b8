// The open song's file on disk: another program's change is noticed and offered for
// reloading, the program's own Save is not; the Open dialog's filters; the remove question.
#include "resources/resource.h"
#include "tests/app/AppTestSupport.h"

using namespace apptest;

class TestFileChanges : public AppTest {
    Q_OBJECT

    // Waits until `count` boxes were shown.
    bool WaitForBoxes(std::size_t count) {
        return QTest::qWaitFor([&] { return boxes.size() >= count; });
    }

private slots:
    void anotherProgramsChangeIsOfferedForReloading() {
        const QString path = CopyOfDemo(*files, "song.mid");
        CMainFrame& f = Start({path}).Frame();
        QCOMPARE(run->Doc().CountUsedChannels(), 6);

        // Answered No: the song stays as it is.
        WriteBytes(path, ReadAll(WriteSong(*files, {0, 1})));
        QVERIFY(WaitForBoxes(1));
        QVERIFY2(boxes[0].icon == UserPrompt::Icon::Question &&
                     boxes[0].text.contains("song.mid") && boxes[0].text.contains("reload"),
                 qPrintable(boxes[0].text));
        QCOMPARE(run->Doc().CountUsedChannels(), 6);

        // Changed again, by renaming another file over it, with an edit made in the program:
        // Yes reads the new file and drops the edit.
        MoveToTop(f, "4");
        const QString other = WriteSong(*files, {2, 3, 4});
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(other, path));
        answers.push_back(QMessageBox::Yes);
        QVERIFY(WaitForBoxes(2));
        QVERIFY(boxes[1].text.contains("lose your changes"));
        QCOMPARE(run->Doc().CountUsedChannels(), 3);
        QVERIFY(!run->Doc().IsModified());

        // The program's own save asks nothing: the one box after it is the other program's.
        MoveToTop(f, "5");
        QVERIFY(f.OnFileSave());
        WriteBytes(path, ReadAll(WriteSong(*files, {7})));
        QVERIFY(WaitForBoxes(3));
        QCOMPARE(int(boxes.size()), 3);
        QVERIFY(!boxes[2].text.contains("lose your changes"));

        // A closed song is no longer watched.
        run->Action(Res::ID_FILE_CLOSE)->trigger();
        WriteBytes(path, ReadAll(WriteSong(*files, {8})));
        answers.clear();
        f.OpenDocumentFile(WriteSong(*files, {9, 10}));
        WriteBytes(path, ReadAll(WriteSong(*files, {11})));
        WriteBytes(FilePath("song2.mid"), ReadAll(WriteSong(*files, {12})));
        QVERIFY(WaitForBoxes(4));
        QVERIFY2(boxes.back().text.contains("song2.mid"), qPrintable(boxes.back().text));
        QCOMPARE(int(boxes.size()), 4);
    }

    void openFiltersAndTheRemoveQuestion() {
        QCOMPARE(CMainFrame::OpenFilters(),
                 (QStringList{"MIDI files (*.mid *.midi *.kar)", "All files (*)"}));
        CMainFrame& f = OpenDemo();
        ClickRow(f, "1");
        run->Action(Res::ID_CHANNEL_REMOVE)->trigger();
        const QString question = OnlyBox(UserPrompt::Icon::Question);
        QVERIFY2(question.startsWith("Do you really want to remove\nchannel #1 (Instrument: ") &&
                     question.endsWith(")?"),
                 qPrintable(question));
    }
};

QTEST_MAIN(TestFileChanges)
#include "TestFileChanges.moc"
