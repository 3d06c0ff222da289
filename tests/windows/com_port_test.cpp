// The Windows serial device and CModem over COM ports. Under Wine the test run lays a null-modem pair of
// pseudo-terminals behind COM2 and COM3 (tests/windows/pty_pair.py): CModem holds COM2 and the test plays
// the tool on COM3 through plain Windows calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/serial/serial_device.h"
#include "serial/modem.h"
#include "serial/port_probe.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kPort = 2;
constexpr const char* kPeer = "\\\\.\\COM3";
constexpr const char* kMode = "baud=115200 parity=N data=8 stop=1";

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The tool's end of the cable: blocking I/O, reads that return what arrived within 50 ms.
class Peer {
public:
    Peer() {
        m_h = CreateFileA(kPeer, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (m_h == INVALID_HANDLE_VALUE) return;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(m_h, &dcb);
        BuildCommDCBA("baud=115200 parity=N data=8 stop=1", &dcb);
        SetCommState(m_h, &dcb);
        COMMTIMEOUTS t{};
        t.ReadTotalTimeoutConstant = 50;
        SetCommTimeouts(m_h, &t);
        PurgeComm(m_h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    }
    ~Peer() {
        if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
    }
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    bool Send(const std::vector<BYTE>& bytes) {
        DWORD done = 0;
        return WriteFile(m_h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
               done == bytes.size();
    }
    // What arrives within the deadline, up to n bytes.
    std::vector<BYTE> Receive(std::size_t n, std::chrono::milliseconds deadline = 3s) {
        std::vector<BYTE> got;
        const auto end = Clock::now() + deadline;
        while (got.size() < n && Clock::now() < end) {
            BYTE buffer[256];
            DWORD k = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof buffer, n - got.size()));
            if (!ReadFile(m_h, buffer, want, &k, nullptr) && GetLastError() != ERROR_TIMEOUT) break;
            got.insert(got.end(), buffer, buffer + k);
        }
        return got;
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

class ComPort : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_peer.IsOpen()) << "COM3 does not open: the Wine prefix needs its null-modem pair";
        ASSERT_TRUE(m_modem.Open(kMode, kPort, 100)) << "error " << m_modem.GetLastOpenError();
    }
    std::future<std::pair<int, std::vector<BYTE>>> ReadAsync(std::uint32_t n) {
        return std::async(std::launch::async, [this, n] {
            std::vector<BYTE> bytes(n);
            std::uint32_t received = 0;
            const int result = m_modem.Read(n, bytes.data(), &received);
            bytes.resize(received);
            return std::make_pair(result, bytes);
        });
    }

    Peer m_peer;
    CModem m_modem;
};

TEST_F(ComPort, OpensTheDeviceWindowsNamesForTheNumber) {
    EXPECT_EQ(m_modem.GetDevicePath(), "\\\\.\\COM2");
    EXPECT_EQ(m_modem.GetPortNumber(), kPort);
}

TEST_F(ComPort, WritesReachTheToolInOrder) {
    std::vector<BYTE> all;
    for (int i = 0; i < 8; ++i) {
        const std::vector<BYTE> chunk = {0x55, static_cast<BYTE>(i), 0x00, static_cast<BYTE>(i)};
        std::uint32_t unused = 0;
        ASSERT_EQ(m_modem.Write(4, chunk.data(), &unused), TRUE);
        all.insert(all.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(m_peer.Receive(all.size()), all);
}

TEST_F(ComPort, ReadGathersBytesThatArriveInParts) {
    auto read = ReadAsync(4);
    ASSERT_TRUE(m_peer.Send({0x55, 0x5A}));
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(m_peer.Send({0x00, 0x5A}));
    ASSERT_EQ(read.wait_for(3s), std::future_status::ready);
    const auto [result, bytes] = read.get();
    EXPECT_EQ(result, TRUE);
    EXPECT_EQ(bytes, (std::vector<BYTE>{0x55, 0x5A, 0x00, 0x5A}));
}

TEST_F(ComPort, ReadOnASilentLineEndsAfterItsTimeOutWithWhatCame) {
    ASSERT_TRUE(m_peer.Send({0x42}));
    const auto start = Clock::now();
    BYTE buffer[4] = {};
    std::uint32_t received = 99;
    EXPECT_EQ(m_modem.Read(4, buffer, &received), TRUE);
    const double ms = MsSince(start);
    EXPECT_EQ(received, 1u);
    EXPECT_EQ(buffer[0], 0x42);
    EXPECT_GE(ms, 90.0);    // 4 ms + T (100), less the time the first byte took
    EXPECT_LT(ms, 2000.0);  // generous bound
}

// Nothing at all within the time-out is an empty read, not a lost port: the next bytes still come.
TEST_F(ComPort, AReadThatGetsNothingEndsEmptyAndThePortStaysUsable) {
    BYTE buffer[4] = {};
    std::uint32_t received = 99;
    EXPECT_EQ(m_modem.Read(4, buffer, &received), TRUE);
    EXPECT_EQ(received, 0u);
    ASSERT_TRUE(m_peer.Send({0x55, 0x01}));
    EXPECT_EQ(m_modem.Read(2, buffer, &received), TRUE);
    EXPECT_EQ(received, 2u);
}

TEST_F(ComPort, CancelReadEndsAWaitingReadAtOnce) {
    m_modem.Close();  // a read that only a cancel can end within the test: T = 60 s
    CModem slow;
    ASSERT_TRUE(slow.Open(kMode, kPort, 60000));
    std::promise<int> done;
    std::thread reader([&] {
        BYTE buffer[8];
        std::uint32_t received = 0;
        done.set_value(slow.Read(8, buffer, &received));
    });
    std::this_thread::sleep_for(50ms);
    const auto start = Clock::now();
    EXPECT_EQ(slow.CancelRead(), TRUE);
    auto result = done.get_future();
    const bool ended = result.wait_for(3s) == std::future_status::ready;
    EXPECT_TRUE(ended);
    if (ended) {
        EXPECT_EQ(result.get(), 0);  // cancelled
    }
    EXPECT_LT(MsSince(start), 1000.0);
    reader.join();
}

TEST_F(ComPort, ACancelWithNobodyReadingEndsTheNextReadOnly) {
    EXPECT_EQ(m_modem.CancelRead(), TRUE);
    BYTE buffer[2];
    std::uint32_t received = 0;
    const auto start = Clock::now();
    EXPECT_EQ(m_modem.Read(2, buffer, &received), 0);
    EXPECT_LT(MsSince(start), 50.0);
    ASSERT_TRUE(m_peer.Send({0x01, 0x02}));
    EXPECT_EQ(m_modem.Read(2, buffer, &received), TRUE);  // the wake-up was taken
    EXPECT_EQ(received, 2u);
}

TEST_F(ComPort, BytesThatCameBeforeACancelAreDeliveredFirst) {
    ASSERT_TRUE(m_peer.Send({0x07}));
    std::this_thread::sleep_for(50ms);  // the byte waits in the driver
    EXPECT_EQ(m_modem.CancelRead(), TRUE);
    BYTE buffer[4];
    std::uint32_t received = 0;
    const int first = m_modem.Read(4, buffer, &received);
    if (received == 1) {
        EXPECT_EQ(first, TRUE);
        EXPECT_EQ(m_modem.Read(4, buffer, &received), 0);  // now the wake-up
    } else {
        EXPECT_EQ(first, 0);  // the wake-up was seen before the read began; the byte stays
        EXPECT_EQ(m_modem.Read(4, buffer, &received), TRUE);
        EXPECT_EQ(received, 1u);
    }
}

TEST_F(ComPort, OpenPurgesWhatWaitedBefore) {
    ASSERT_TRUE(m_peer.Send({0x11, 0x22, 0x33}));
    std::this_thread::sleep_for(50ms);
    m_modem.Close();
    CModem next;  // one Open per object, as the probe and the dialog use them
    ASSERT_TRUE(next.Open(kMode, kPort, 50));
    BYTE buffer[3];
    std::uint32_t received = 99;
    EXPECT_EQ(next.Read(3, buffer, &received), TRUE);
    EXPECT_EQ(received, 0u);
}

TEST(ComPortDevice, LineSettingsGoThroughTheDcbAndReadBack) {
    auto device = CreateSerialDevice();
    ASSERT_EQ(device->Open("\\\\.\\COM2"), 0u);
    LineSettings line;
    ASSERT_TRUE(device->GetLine(line));
    EXPECT_EQ(line.nDataBits, 8);  // raw 8N1 after Open
    EXPECT_EQ(line.cParity, 'N');
    // A Linux pseudo-terminal keeps 8 data bits without parity whatever it is asked (its driver forces them),
    // so under Wine only the speed and the stop bits can be seen to change; a real port takes all four.
    const LineSettings wanted{19200, 'N', 8, StopBits::Two};
    ASSERT_TRUE(device->SetLine(wanted));
    LineSettings back;
    ASSERT_TRUE(device->GetLine(back));
    EXPECT_EQ(back, wanted);
    EXPECT_TRUE(device->SetBreak());
    device->Close();
}

TEST(ComPortDevice, AMissingPortIsNotFound) {
    auto device = CreateSerialDevice();
    EXPECT_EQ(device->Open("\\\\.\\COM250"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    CModem modem;
    EXPECT_FALSE(modem.Open(kMode, 250, 100));
    EXPECT_EQ(modem.GetLastOpenError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(modem.Open(kMode, 257, 100));  // outside 1 to 256: nothing tried
    EXPECT_TRUE(modem.GetDevicePath().empty() || modem.GetDevicePath() == "\\\\.\\COM250");
}

TEST(ComPortDevice, ASecondOpenOfAHeldPortIsRefusedAsInUse) {
    CModem first;
    ASSERT_TRUE(first.Open(kMode, kPort, 100));
    CModem second;
    const bool opened = second.Open(kMode, kPort, 100);
    if (opened && UnderWine()) {
        GTEST_SKIP()
            << "Wine allows a second CreateFile of a COM port opened with share mode 0; Windows refuses it";
    }
    EXPECT_FALSE(opened);
    EXPECT_EQ(second.GetLastOpenError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST(ComPortProbe, FindsThePortsThatOpenInOrder) {
    const ProbeResult probe = ProbePorts(100);
    std::vector<int> numbers;
    for (const auto& port : probe.ports) numbers.push_back(port->GetPortNumber());
    // COM2 and COM3 are the test's pair; other COM links of the prefix may come too.
    EXPECT_NE(std::find(numbers.begin(), numbers.end(), 2), numbers.end());
    EXPECT_NE(std::find(numbers.begin(), numbers.end(), 3), numbers.end());
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    EXPECT_EQ(probe.nModemsCreated, static_cast<int>(probe.ports.size()) + 1);
}

}  // namespace
