#include "system/FileWatch.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

void renameIntoPlace(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file.string() + ".new") << text;
    std::filesystem::rename(file.string() + ".new", file);
}

// Whether `write` wakes the watch on `path`; the poll alone never does.
bool wakes(freqrelay::FileWatch& watch, const std::function<void()>& write) {
    bool woken = false;
    watch.start([&](auto) { woken = true; });
    write();
    return QTest::qWaitFor([&] { return woken; }, 5000);
}

}  // namespace

TEST(FileWatch, AWriteWakesItAlsoWhereALinkLeadsAndWhenTheLinkIsPointedElsewhere) {
    QTemporaryDir top;
    ASSERT_TRUE(top.isValid());
    const std::filesystem::path folder = top.path().toStdString();
    for (const auto* name : {"here", "there", "elsewhere"}) {
        std::filesystem::create_directory(folder / name);
    }
    const auto file = folder / "here" / "ft1000file";
    {
        SCOPED_TRACE("a plain file, rewritten in place");
        freqrelay::FileWatch watch(file.string());
        EXPECT_TRUE(wakes(watch, [&] { std::ofstream(file) << "7050000"; }));
        std::filesystem::remove(file);
    }
    std::filesystem::create_symlink(folder / "there" / "radio.txt", file);
    freqrelay::FileWatch watch(file.string());
    {
        SCOPED_TRACE("a link to a file in another folder, replaced there");
        EXPECT_TRUE(wakes(watch, [&] { renameIntoPlace(folder / "there" / "radio.txt", "7050000"); }));
    }
    {
        SCOPED_TRACE("the link pointed elsewhere, seen at the next poll");
        std::filesystem::remove(file);
        std::filesystem::create_symlink(folder / "elsewhere" / "radio.txt", file);
        EXPECT_TRUE(wakes(watch, [&] {
            watch.readableAt(std::chrono::steady_clock::now());
            renameIntoPlace(folder / "elsewhere" / "radio.txt", "3500000");
        }));
    }
    {
        // Relative to the link's own folder, not to the working folder.
        SCOPED_TRACE("a relative link to a file in another folder, rewritten in place there");
        std::filesystem::remove(file);
        std::filesystem::create_symlink("../there/radio.txt", file);
        EXPECT_TRUE(wakes(watch, [&] {
            watch.readableAt(std::chrono::steady_clock::now());
            std::ofstream(folder / "there" / "radio.txt") << "14250000";
        }));
    }
}

// A folder that is not there is told once and polled meanwhile; it is
// watched from the first poll that finds it, also when it is deleted and
// made again, whether or not a poll came while it was gone.
TEST(FileWatch, AMissingFolderIsToldOnceAndPolledAndWatchedFromTheFirstPollThatFindsIt) {
    static QStringList told;
    told.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { told << text; });
    QTemporaryDir top;
    ASSERT_TRUE(top.isValid());
    const std::filesystem::path folder = top.path().toStdString() + "/missing";
    const auto file = folder / "ft1000file";
    freqrelay::FileWatch watch(file.string());
    bool woken = false;
    watch.start([&](auto) { woken = true; });
    const auto poll = [&](int times) {
        for (int count = 0; count < times; ++count) {
            const auto now = std::chrono::steady_clock::now();
            EXPECT_EQ(watch.readableAt(now), now);
        }
    };
    // One poll once the folder is back, and no other: the write must wake
    // the watch by itself.
    const auto wokenByAWriteAfterOnePoll = [&](const char* text) {
        woken = false;
        poll(1);
        std::ofstream(file) << text;
        return QTest::qWaitFor([&] { return woken; }, 5000);
    };
    {
        SCOPED_TRACE("not there yet, then made");
        poll(3);
        std::filesystem::create_directory(folder);
        EXPECT_TRUE(wokenByAWriteAfterOnePoll("7050000"));
    }
    {
        SCOPED_TRACE("deleted, polled while gone, made again");
        std::filesystem::remove_all(folder);
        poll(3);
        std::filesystem::create_directory(folder);
        EXPECT_TRUE(wokenByAWriteAfterOnePoll("14250000"));
    }
    {
        SCOPED_TRACE("deleted and made again between two polls");
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        EXPECT_TRUE(wokenByAWriteAfterOnePoll("3500000"));
    }
    qInstallMessageHandler(previous);
    ASSERT_EQ(told.size(), 1) << told.join('\n').toStdString();
    EXPECT_EQ(told[0].toStdString(), "no watch on the folder of " + file.string() +
                                         " (No such file or directory): polling it every 250 ms, trying again at "
                                         "each poll");
}
