// The "Connection" dialog over real pseudo-terminals (and recording devices where the device calls
// matter): the probe, the Port and Speed lists, OK, Cancel and the no-port case.
#include <gtest/gtest.h>

#include "framework/afx.h"
#include "framework/modal_helpers.h"
#include "serial/dialog/crmodem.h"
#include "serial/dialog/sel_com_dlg.h"

#ifdef _WIN32
#include "framework/win32_window.h"

namespace {

// Under Wine the test run lays a null-modem pair of pseudo-terminals behind COM2 and COM3 (see
// tests/windows/pty_pair.py): the only COM ports there, opened through the system's own calls.
struct Outcome {
    int portNumber;
    CModem* port = nullptr;
    int appSpeedIndex;
    ~Outcome() { delete port; }
};

void Choose(Outcome& out, int speedIndex, const std::function<void(TestWindow)>& during) {
    ModalDeadline deadline;
    WhenModal([during](TestWindow dialog) {
        ASSERT_NE(dialog, nullptr);
        during(dialog);
    });
    Crmodem choice(speedIndex, out.portNumber, out.port, out.appSpeedIndex);
}

// The speed a second handle on the port reads back (Wine lets a held port be opened again).
DWORD SpeedOf(const char* port) {
    HANDLE h = ::CreateFileA(port, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const BOOL ok = ::GetCommState(h, &dcb);
    ::CloseHandle(h);
    return ok ? dcb.BaudRate : 0;
}

TEST(ConnectionDialog, ThePortsAreListedAndOkHandsOverThePresetOne) {
    Outcome out{3, nullptr, 9};
    Choose(out, 9, [](TestWindow dialog) {
        EXPECT_EQ(WindowCaption(dialog), u"Connection");
        EXPECT_EQ(ListItems(dialog, IDC_PORT_LIST), (std::vector<CString>{u"COM2", u"COM3"}));
        EXPECT_EQ(ControlText(dialog, IDC_PORT_LIST), u"COM3");
        EXPECT_EQ(ListItems(dialog, IDC_SPEED_LIST).size(), 10u);
        EXPECT_EQ(ControlText(dialog, IDC_SPEED_LIST), u"115200");
        Click(dialog, IDOK);
    });
    ASSERT_NE(out.port, nullptr);
    EXPECT_EQ(out.portNumber, 3);
    EXPECT_EQ(out.port->GetPortNumber(), 3);
    EXPECT_TRUE(out.port->IsOpen());
    EXPECT_EQ(out.appSpeedIndex, 9);
    EXPECT_EQ(SpeedOf("\\\\.\\COM3"), 115200u);
}

TEST(ConnectionDialog, AnAbsentPresetSelectsTheFirstPortAndASpeedOutOfRange115200) {
    for (int preset : {5, -1}) {
        Outcome out{preset, nullptr, 12};
        Choose(out, 12, [](TestWindow dialog) {
            EXPECT_EQ(ControlText(dialog, IDC_PORT_LIST), u"COM2");
            EXPECT_EQ(ControlText(dialog, IDC_SPEED_LIST), u"115200");
            Click(dialog, IDOK);
        });
        EXPECT_EQ(out.portNumber, 2) << preset;
        EXPECT_EQ(out.appSpeedIndex, 9) << preset;
    }
}

TEST(ConnectionDialog, TheKeyboardPicksPortAndSpeedAndEnterIsOk) {
    Outcome out{-1, nullptr, 9};
    Choose(out, 9, [](TestWindow dialog) {
        PressKey(dialog, IDC_PORT_LIST, Key::F4);  // opens the list; Down moves, Enter takes it
        PressKey(dialog, IDC_PORT_LIST, Key::Down);
        PressKey(dialog, IDC_PORT_LIST, Key::Return);
        EXPECT_TRUE(WaitUntil([&] { return ControlText(dialog, IDC_PORT_LIST) == u"COM3"; }));
        SelectRow(dialog, IDC_SPEED_LIST, 0);
        EXPECT_EQ(ControlText(dialog, IDC_SPEED_LIST), u"1200");
        PressKey(dialog, IDC_SPEED_LIST, Key::Return);  // the default button
    });
    ASSERT_NE(out.port, nullptr);
    EXPECT_EQ(out.portNumber, 3);
    EXPECT_EQ(out.appSpeedIndex, 0);
    EXPECT_EQ(SpeedOf("\\\\.\\COM3"), 1200u);
}

TEST(ConnectionDialog, EscCancelsReleasesThePortsAndLeavesTheSpeedAlone) {
    Outcome out{2, nullptr, 5};
    Choose(out, 5, [](TestWindow dialog) {
        SelectRow(dialog, IDC_SPEED_LIST, 0);
        PressKey(dialog, IDC_SPEED_LIST, Key::Escape);
    });
    EXPECT_EQ(out.port, nullptr);
    EXPECT_EQ(out.portNumber, -1);
    EXPECT_EQ(out.appSpeedIndex, 5);
    EXPECT_NE(SpeedOf("\\\\.\\COM2"), 1200u);  // no speed change on Cancel
}

}  // namespace
#else
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <memory>

#include "platform/serial/pseudo_terminal.h"
#include "support/pty_helpers.h"
#include "support/recording_serial_device.h"
#include "support/temp_dir.h"

namespace {

// Pseudo-terminals standing in for COM ports, mapped through QUARVEL_PORTS for one test.
class FakePorts {
public:
    explicit FakePorts(std::initializer_list<int> numbers) {
        std::string entries;
        for (int number : numbers) {
            auto pty = std::make_unique<PseudoTerminal>();
            std::string error;
            EXPECT_TRUE(pty->Create(&error)) << error;
            if (!entries.empty()) entries += ",";
            entries += std::to_string(number) + "=" + pty->DevicePath();
            m_ptys.emplace(number, std::move(pty));
        }
        m_scope = std::make_unique<testsupport::ScopedPorts>(entries);
    }
    PseudoTerminal& operator[](int number) { return *m_ptys.at(number); }
    // True when nobody holds COM`number` open any more.
    bool IsFree(int number) {
        CModem probe;
        return probe.Open("baud=9600 parity=N data=8 stop=1", number, 10);
    }

private:
    std::map<int, std::unique_ptr<PseudoTerminal> > m_ptys;
    std::unique_ptr<testsupport::ScopedPorts> m_scope;
};

// Recording devices that also write every call, with its device, into one sequence shared by all, so a
// test sees the order of calls across ports.
class SequencedDevice final : public ISerialDevice {
public:
    SequencedDevice(std::shared_ptr<testsupport::DeviceLog> log,
                    std::shared_ptr<std::vector<std::string> > sequence)
        : m_inner(log), m_sequence(std::move(sequence)) {}
    DWORD Open(const std::string& path) override {
        m_path = path;
        Note("Open");
        return m_inner.Open(path);
    }
    bool GetLine(LineSettings& line) override { return m_inner.GetLine(line); }
    bool SetLine(const LineSettings& line) override {
        Note("SetLine " + std::to_string(line.nBaud));
        return m_inner.SetLine(line);
    }
    bool Purge() override { return m_inner.Purge(); }
    DeviceReadResult Read(std::uint32_t n, BYTE* buffer, DWORD timeoutMs) override {
        return m_inner.Read(n, buffer, timeoutMs);
    }
    bool CancelRead() override { return m_inner.CancelRead(); }
    bool Write(std::uint32_t n, const BYTE* data) override { return m_inner.Write(n, data); }
    bool SetBreak() override {
        Note("SetBreak");
        return m_inner.SetBreak();
    }
    void Close() override {
        Note("Close");
        m_inner.Close();
    }

private:
    void Note(const std::string& call) { m_sequence->push_back(m_path + " " + call); }
    testsupport::RecordingSerialDevice m_inner;
    std::shared_ptr<std::vector<std::string> > m_sequence;
    std::string m_path;
};

struct RecordedDevices {
    std::vector<std::shared_ptr<testsupport::DeviceLog> > logs;
    std::shared_ptr<std::vector<std::string> > sequence = std::make_shared<std::vector<std::string> >();
    SerialDeviceFactory Factory() {
        return [this] {
            auto log = std::make_shared<testsupport::DeviceLog>();
            logs.push_back(log);
            return std::make_unique<SequencedDevice>(log, sequence);
        };
    }
    // Position of a call in the shared sequence; -1 when it never happened.
    long IndexOf(const std::string& entry) const {
        const auto it = std::find(sequence->begin(), sequence->end(), entry);
        return it == sequence->end() ? -1 : static_cast<long>(it - sequence->begin());
    }
};

// A recording device that opens only when its path exists, as a device node would.
class NodeDevice final : public ISerialDevice {
public:
    explicit NodeDevice(std::shared_ptr<testsupport::DeviceLog> log) : m_inner(std::move(log)) {}
    DWORD Open(const std::string& path) override {
        return ::access(path.c_str(), F_OK) == 0 ? m_inner.Open(path) : ERROR_FILE_NOT_FOUND;
    }
    bool GetLine(LineSettings& line) override { return m_inner.GetLine(line); }
    bool SetLine(const LineSettings& line) override { return m_inner.SetLine(line); }
    bool Purge() override { return m_inner.Purge(); }
    DeviceReadResult Read(std::uint32_t n, BYTE* buffer, DWORD timeoutMs) override {
        return m_inner.Read(n, buffer, timeoutMs);
    }
    bool CancelRead() override { return m_inner.CancelRead(); }
    bool Write(std::uint32_t n, const BYTE* data) override { return m_inner.Write(n, data); }
    bool SetBreak() override { return m_inner.SetBreak(); }
    void Close() override { m_inner.Close(); }

private:
    testsupport::RecordingSerialDevice m_inner;
};

QStringList Entries(QWidget* dialog) {
    QStringList entries;
    auto* combo = Control<QComboBox>(dialog, IDC_PORT_LIST);
    for (int i = 0; combo != nullptr && i < combo->count(); ++i) entries << combo->itemText(i);
    return entries;
}

QString SelectedPort(QWidget* dialog) { return Control<QComboBox>(dialog, IDC_PORT_LIST)->currentText(); }

QString SelectedSpeed(QWidget* dialog) {
    const auto items = Control<QListWidget>(dialog, IDC_SPEED_LIST)->selectedItems();
    return items.isEmpty() ? QString() : items.front()->text();
}

void Press(QWidget* dialog, int id) { QTest::mouseClick(Control<QPushButton>(dialog, id), Qt::LeftButton); }

struct Outcome {
    int portNumber;
    CModem* port = nullptr;
    int appSpeedIndex;
    ~Outcome() { delete port; }
};

// Runs the connection choice with `during` acting in the shown dialog.
void Choose(Outcome& out, int speedIndex, const std::function<void(QWidget*)>& during,
            SerialDeviceFactory factory = {}) {
    ModalDeadline deadline;
    WhenModal([during](QWidget* dialog) {
        ASSERT_NE(dialog, nullptr);
        during(dialog);
    });
    Crmodem choice(speedIndex, out.portNumber, out.port, out.appSpeedIndex, std::move(factory));
}

TEST(ConnectionDialog, NoPortShowsMessage126AndEndsWithoutShowing) {
    testsupport::ScopedPorts none("");
    bool dialogVisible = true;
    MessageBoxRecorder boxes([&](const MessageBoxRequest&) {
        dialogVisible = false;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->findChild<QComboBox*>() != nullptr) dialogVisible = true;
        }
        return IDOK;
    });
    {
        int portNumber = 7;
        CModem* port = reinterpret_cast<CModem*>(&portNumber);  // any non-null value: it must be replaced
        int speed = 4;
        ModalDeadline deadline;
        Crmodem choice(4, portNumber, port, speed);
        EXPECT_EQ(port, nullptr);
        EXPECT_EQ(portNumber, 0);
        EXPECT_EQ(speed, 4);
    }
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              u"There is no any communication ports available. Did you connect the tool? Check the cable.");
    EXPECT_EQ(boxes.boxes[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_FALSE(dialogVisible);
}

TEST(ConnectionDialog, PresetPortIsSelectedAndOkHandsItOverClosingTheOthers) {
    FakePorts ports{1, 3, 4};
    Outcome out{4, nullptr, 9};
    Choose(out, 9, [](QWidget* dialog) {
        EXPECT_EQ(Entries(dialog), (QStringList{"COM1", "COM3", "COM4"}));
        EXPECT_EQ(SelectedPort(dialog), QStringLiteral("COM4"));
        EXPECT_EQ(SelectedSpeed(dialog), QStringLiteral("115200"));
        Press(dialog, IDOK);
    });
    ASSERT_NE(out.port, nullptr);
    EXPECT_EQ(out.portNumber, 4);
    EXPECT_EQ(out.port->GetPortNumber(), 4);
    EXPECT_TRUE(out.port->IsOpen());
    EXPECT_EQ(out.appSpeedIndex, 9);
    EXPECT_TRUE(ports.IsFree(1));
    EXPECT_TRUE(ports.IsFree(3));
    EXPECT_FALSE(ports.IsFree(4));  // still held by the handed-over port
}

TEST(ConnectionDialog, AbsentOrNoPresetSelectsTheFirstPort) {
    FakePorts ports{2, 7};
    for (int preset : {5, -1}) {
        Outcome out{preset, nullptr, 9};
        Choose(out, 9, [](QWidget* dialog) {
            EXPECT_EQ(SelectedPort(dialog), QStringLiteral("COM2"));
            Press(dialog, IDOK);
        });
        EXPECT_EQ(out.portNumber, 2) << preset;
    }
}

TEST(ConnectionDialog, SpeedIndexOutOfRangeSelects115200) {
    FakePorts ports{1};
    for (int speed : {12, 10, -3}) {
        Outcome out{1, nullptr, speed};
        Choose(out, speed, [](QWidget* dialog) {
            EXPECT_EQ(Control<QListWidget>(dialog, IDC_SPEED_LIST)->count(), 10);
            EXPECT_EQ(SelectedSpeed(dialog), QStringLiteral("115200"));
            Press(dialog, IDOK);
        });
        EXPECT_EQ(out.appSpeedIndex, 9) << speed;
    }
}

TEST(ConnectionDialog, PortsAreListedByNumberAndTheUserCanPickCom10) {
    FakePorts ports{10, 2};
    Outcome out{-1, nullptr, 9};
    Choose(out, 9, [](QWidget* dialog) {
        EXPECT_EQ(Entries(dialog), (QStringList{"COM2", "COM10"}));
        auto* combo = Control<QComboBox>(dialog, IDC_PORT_LIST);
        combo->setFocus();
        combo->showPopup();
        ASSERT_TRUE(WaitUntil([&] { return combo->view()->isVisible(); }));
        QTest::keyClick(combo->view(), Qt::Key_Down);
        QTest::keyClick(combo->view(), Qt::Key_Return);
        ASSERT_TRUE(WaitUntil([&] { return combo->currentIndex() == 1 && !combo->view()->isVisible(); }));
        QTest::keyClick(dialog, Qt::Key_Return);  // Enter: the default button, OK
    });
    ASSERT_NE(out.port, nullptr);
    EXPECT_EQ(out.portNumber, 10);
    EXPECT_EQ(out.port->GetPortNumber(), 10);
    EXPECT_TRUE(ports.IsFree(2));
}

TEST(ConnectionDialog, OkWith1200SetsThatModeAndSpeedIndex0) {
    FakePorts ports{3};
    Outcome out{3, nullptr, 9};
    Choose(out, 9, [](QWidget* dialog) {
        Control<QListWidget>(dialog, IDC_SPEED_LIST)->setCurrentRow(0);
        Press(dialog, IDOK);
    });
    ASSERT_NE(out.port, nullptr);
    EXPECT_EQ(out.appSpeedIndex, 0);
    LineSettings line;
    ASSERT_TRUE(ports[3].GetClientLine(line));
    EXPECT_EQ(line.nBaud, 1200u);
    EXPECT_EQ(line.cParity, 'N');
    EXPECT_EQ(line.nDataBits, 8);
}

TEST(ConnectionDialog, OkClosesTheOthersWithABreakBeforeTheChosenChangesSpeed) {
    testsupport::ScopedPorts map("1=/dev/fake-a,3=/dev/fake-b,4=/dev/fake-c");
    RecordedDevices devices;
    Outcome out{3, nullptr, 9};
    Choose(
        out, 9,
        [](QWidget* dialog) {
            Control<QListWidget>(dialog, IDC_SPEED_LIST)->setCurrentRow(6);
            Press(dialog, IDOK);
        },
        devices.Factory());
    EXPECT_EQ(out.portNumber, 3);
    EXPECT_EQ(out.appSpeedIndex, 6);
    const long speedChange = devices.IndexOf("/dev/fake-b SetLine 21600");
    ASSERT_GE(speedChange, 0);
    for (const std::string other : {"/dev/fake-a", "/dev/fake-c"}) {
        const long brk = devices.IndexOf(other + " SetBreak");
        const long close = devices.IndexOf(other + " Close");
        ASSERT_GE(brk, 0) << other;
        EXPECT_EQ(close, brk + 1) << other;
        EXPECT_LT(close, speedChange) << other;
    }
    EXPECT_EQ(devices.IndexOf("/dev/fake-b Close"), -1);
    EXPECT_EQ(devices.IndexOf("/dev/fake-b SetBreak"), -1);
}

TEST(ConnectionDialog, CancelClosesEveryPortWithABreakAndLeavesSpeedAlone) {
    testsupport::ScopedPorts map("1=/dev/fake-a,2=/dev/fake-b");
    RecordedDevices devices;
    Outcome out{2, nullptr, 5};
    Choose(
        out, 5,
        [](QWidget* dialog) {
            Control<QListWidget>(dialog, IDC_SPEED_LIST)->setCurrentRow(0);
            QTest::keyClick(dialog, Qt::Key_Escape);
        },
        devices.Factory());
    EXPECT_EQ(out.port, nullptr);
    EXPECT_EQ(out.portNumber, -1);
    EXPECT_EQ(out.appSpeedIndex, 5);
    for (const std::string path : {"/dev/fake-a", "/dev/fake-b"}) {
        const long brk = devices.IndexOf(path + " SetBreak");
        ASSERT_GE(brk, 0) << path;
        EXPECT_EQ(devices.IndexOf(path + " Close"), brk + 1) << path;
    }
    EXPECT_EQ(devices.IndexOf("/dev/fake-a SetLine 1200"), -1);  // no speed change on Cancel
}

TEST(ConnectionDialog, APortHeldByAnotherProgramIsNotListed) {
    FakePorts ports{1, 3, 5};
    CModem other;  // another program holds COM3
    ASSERT_TRUE(other.Open("baud=9600 parity=N data=8 stop=1", 3, 10));
    Outcome out{3, nullptr, 9};
    Choose(out, 9, [](QWidget* dialog) {
        EXPECT_EQ(Entries(dialog), (QStringList{"COM1", "COM5"}));
        EXPECT_EQ(SelectedPort(dialog), QStringLiteral("COM1"));
        Press(dialog, IDCANCEL);
    });
}

TEST(ConnectionDialog, PortsThatComeAndGoWhileItIsOpenAreListedInOrderAndTheSelectionStays) {
    // Links in a folder of the test's own stand for device nodes that appear and vanish (the dialog
    // watches the folders of the port table's paths).
    TempDir dir;
    auto pty = [] {
        auto line = std::make_unique<PseudoTerminal>();
        std::string error;
        EXPECT_TRUE(line->Create(&error)) << error;
        return line;
    };
    const auto com2 = pty(), com3 = pty(), com5 = pty(), com7 = pty();
    ASSERT_EQ(::symlink(com5->DevicePath().c_str(), dir.File("com5").c_str()), 0);
    testsupport::ScopedPorts map("2=" + com2->DevicePath() + ",3=" + dir.File("com3") +
                                 ",5=" + dir.File("com5") + ",7=" + dir.File("com7"));
    Outcome out{5, nullptr, 9};
    Choose(out, 9, [&](QWidget* dialog) {
        EXPECT_EQ(Entries(dialog), (QStringList{"COM2", "COM5"}));
        ASSERT_EQ(::symlink(com7->DevicePath().c_str(), dir.File("com7").c_str()), 0);
        ASSERT_EQ(::symlink(com3->DevicePath().c_str(), dir.File("com3").c_str()), 0);
        EXPECT_TRUE(WaitUntil([&] {
            return Entries(dialog) == QStringList({"COM2", "COM3", "COM5", "COM7"});
        })) << Entries(dialog).join(',').toStdString();
        EXPECT_EQ(SelectedPort(dialog), QStringLiteral("COM5"));
        // COM3 goes; so does the selected COM5, which stays listed since the selection never moves.
        ASSERT_EQ(::unlink(dir.File("com3").c_str()), 0);
        ASSERT_EQ(::unlink(dir.File("com5").c_str()), 0);
        EXPECT_TRUE(WaitUntil([&] {
            return Entries(dialog) == QStringList({"COM2", "COM5", "COM7"});
        })) << Entries(dialog).join(',').toStdString();
        EXPECT_EQ(SelectedPort(dialog), QStringLiteral("COM5"));
        Press(dialog, IDOK);
    });
    ASSERT_NE(out.port, nullptr);
    EXPECT_EQ(out.portNumber, 5);
    ::unlink(dir.File("com7").c_str());
}

TEST(ConnectionDialog, ANewPortRefusedForPermissionIsTriedAgainAndNoListedPortIsProbedTwice) {
    TempDir dir;
    testsupport::ScopedPorts map("1=" + dir.File("com1") + ",3=" + dir.File("com3") +
                                 ",5=" + dir.File("com5"));
    std::ofstream(dir.File("com1")) << "node";
    auto log = std::make_shared<testsupport::DeviceLog>();
    auto opens = [&](const std::string& name) {
        return std::count(log->calls.begin(), log->calls.end(), "Open " + dir.File(name));
    };
    Outcome out{1, nullptr, 9};
    Choose(
        out, 9,
        [&](QWidget* dialog) {
            log->nOpenResult = ERROR_ACCESS_DENIED;  // udev has not yet given the new node its group and mode
            std::ofstream(dir.File("com3")) << "node";
            EXPECT_TRUE(WaitUntil([&] { return opens("com3") >= 2; }));
            EXPECT_EQ(Entries(dialog), (QStringList{"COM1"}));
            log->nOpenResult = 0;
            EXPECT_TRUE(WaitUntil([&] { return Entries(dialog).size() == 2; }));
            EXPECT_EQ(Entries(dialog), (QStringList{"COM1", "COM3"}));
            const long com3Opens = opens("com3");
            // Changes to listed nodes open nothing again; COM5 appearing afterwards shows they were handled.
            ::chmod(dir.File("com1").c_str(), 0600);
            ::chmod(dir.File("com3").c_str(), 0600);
            std::ofstream(dir.File("com5")) << "node";
            EXPECT_TRUE(WaitUntil([&] { return Entries(dialog).size() == 3; }));
            EXPECT_EQ(opens("com1"), 1);
            EXPECT_EQ(opens("com3"), com3Opens);
            Press(dialog, IDCANCEL);
        },
        [log] { return std::make_unique<NodeDevice>(log); });
    EXPECT_EQ(out.portNumber, -1);
}

TEST(ConnectionDialog, EachPortEntryNamesItsDeviceInTheTooltip) {
    FakePorts ports{4};
    const std::string path = ports[4].DevicePath();
    Outcome out{4, nullptr, 9};
    Choose(out, 9, [path](QWidget* dialog) {
        const QString tip =
            Control<QComboBox>(dialog, IDC_PORT_LIST)->itemData(0, Qt::ToolTipRole).toString();
        EXPECT_TRUE(tip.contains(QString::fromStdString(path))) << tip.toStdString();
        Press(dialog, IDCANCEL);
    });
}

TEST(ConnectionDialog, ModeStringsForEverySpeed) {
    EXPECT_EQ(CSelComDlg::ModeFor(CSelComDlg::kSpeeds[0]), "baud=1200 parity=N data=8 stop=1");
    EXPECT_EQ(CSelComDlg::ModeFor(CSelComDlg::kSpeeds[6]), "baud=21600 parity=N data=8 stop=1");
    EXPECT_EQ(CSelComDlg::ModeFor(CSelComDlg::kSpeeds[9]), "baud=115200 parity=N data=8 stop=1");
}

}  // namespace
#endif
