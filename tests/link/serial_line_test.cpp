#include "sim_line.h"
#include "wait_for.h"

#include <QCoreApplication>

#include <chrono>
#include <string>
#include <thread>

namespace pmv::link {
namespace {

using namespace std::chrono_literals;
using SerialLineTest = test::SimLine;

// Reads until the answer's CR or until a read brings nothing.
std::string ReadAnswer(SerialLine& line)
{
    std::string answer;
    char chunk[64];
    while (answer.find('\r') == std::string::npos) {
        const size_t got = line.Read(chunk, sizeof chunk, 200);
        if (got == 0)
            break;
        answer.append(chunk, got);
    }
    return answer;
}

TEST_F(SerialLineTest, WhatQtTookInWhileTheWindowHandledItsEventsIsReadFirstAndOnce)
{
    simulator->SetRegister(2, 3, 13, 0x3F800000);
    std::string request = std::string(4, '\xFF') + ":1;37;00800D;";
    AppendChecksum(request);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(line.Write(request.data(), request.size(), 100), request.size());
        // The window's progress lets the events run while the answer comes in, and Qt's own
        // watch of the port reads it then.
        ASSERT_TRUE(
            test::WaitFor([&] { return simulator->Transcript().size() == static_cast<size_t>(round + 1); }, 1000));
        // rules: real time: the answer's bytes cross the pseudo-terminal after the request is heard
        std::this_thread::sleep_for(20ms);
        QCoreApplication::processEvents();
        const std::string answer = ReadAnswer(line);
        EXPECT_EQ(answer.substr(0, answer.find(';', 3)), "!1;3F800000") << answer;
        EXPECT_EQ(answer.find('\r'), answer.size() - 1) << answer;
    }
}

TEST_F(SerialLineTest, ALineThatHungUpStillWaitsOutEachTimeOut)
{
    simulator->Stop();
    char chunk[16];
    for (int read = 0; read < 2; ++read) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(line.Read(chunk, sizeof chunk, 150), 0u);
        EXPECT_GE(std::chrono::steady_clock::now() - start, 140ms);
    }
}

}  // namespace
}  // namespace pmv::link
