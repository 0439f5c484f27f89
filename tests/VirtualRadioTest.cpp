#include "RelayRig.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

// The virtual radio that operators try the relay with, and the benchmark
// measures with, must read back what the real program sends.
TEST(VirtualRadio, ShowsTheCommandAndItsDigitsFromTheRealProgram) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::ofstream(folder.filePath("ft1000file").toStdString()) << "28500.5\r\n";

    QProcess radio;
    radio.start("python3", {FREQRELAY_SOURCE_DIR "/tools/virtual-radio", "--count", "1"});
    ASSERT_TRUE(radio.waitForReadyRead(5000));
    const QString exportLine = QString::fromUtf8(radio.readLine()).trimmed();
    ASSERT_TRUE(exportLine.startsWith("export FREQRELAY_PORT1=/dev/pts/")) << exportLine.toStdString();

    QProcess relay;
    startRelayProgram(relay, folder.path().toStdString(), exportLine.section('=', 1).toStdString());
    ASSERT_TRUE(relay.waitForStarted());

    const bool finished = radio.waitForFinished(5000);
    relay.terminate();
    relay.waitForFinished(2000);
    ASSERT_TRUE(finished);
    EXPECT_EQ(QString::fromUtf8(radio.readAllStandardOutput()).trimmed(),
              "00 50 28 00 0A  digits 0285000 = 2.850 00 MHz");
}
