// Times a scan of nodes 1 to 247 at one line setting, with three devices on a simulated
// line whose replies wait for their frames' time on the wire, at 9600 and 115200 baud.
// The lower bound: for every node the request frame and the reply allowance, and for each
// device found its reply and the version exchange. A scan should stay within 1.25 times it.

#include "BusScanner.h"
#include "DeviceSimulator.h"
#include "VirtualBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

namespace {

constexpr double BitsPerByte = 10; // 8N1
constexpr int AllowanceMs = BusScanner::DefaultAllowanceMs;
constexpr double TargetRatio = 1.25;
const int DeviceNodes[] = {1, 100, 247};

double frameMs(int bytes, int baud)
{
    return bytes * BitsPerByte * 1000.0 / baud;
}

// True when the scan found the three devices within the target.
bool measure(int baud, QTextStream &out)
{
    QTemporaryDir dir;
    VirtualBus bus;
    if (!dir.isValid() || !bus.open(dir.path())) {
        out << "Cannot make the bus: " << bus.errorString() << Qt::endl;
        return false;
    }
    std::unique_ptr<DeviceSimulator> devices[std::size(DeviceNodes)];
    for (std::size_t i = 0; i < std::size(DeviceNodes); ++i) {
        devices[i] = std::make_unique<DeviceSimulator>();
        devices[i]->setIdentity(4, 1, 0);
        devices[i]->setLineTiming(true);
        const QString port = bus.addDevice(DeviceNodes[i], baud, QSerialPort::NoParity);
        if (port.isEmpty() || !devices[i]->start(port, DeviceNodes[i], baud)) {
            out << "Cannot start a device: " << bus.errorString() << Qt::endl;
            return false;
        }
    }

    BusScanner scanner;
    QList<int> nodes;
    for (int node = 1; node <= 247; ++node)
        nodes << node;
    scanner.setPort(bus.clientPath());
    scanner.setNodes(nodes);
    scanner.setSettings({{baud, 'N'}});
    scanner.setAllowanceMs(AllowanceMs);
    QElapsedTimer clock;
    clock.start();
    const BusScanner::Result result = scanner.run();
    const double measuredMs = double(clock.elapsed());

    const int found = int(scanner.devices().size());
    const double boundMs = nodes.size() * (frameMs(8, baud) + AllowanceMs)
        + found * (frameMs(7, baud) + frameMs(8, baud) + frameMs(9, baud));
    const double ratio = measuredMs / boundMs;
    out << QStringLiteral("%1 baud: %2 devices found, %3 ms (lower bound %4 ms), ratio %5")
               .arg(baud)
               .arg(found)
               .arg(measuredMs, 0, 'f', 0)
               .arg(boundMs, 0, 'f', 0)
               .arg(ratio, 0, 'f', 2)
        << Qt::endl;
    return result == BusScanner::Result::Finished && found == int(std::size(DeviceNodes))
        && ratio <= TargetRatio;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    bool ok = true;
    for (int baud : {9600, 115200})
        ok = measure(baud, out) && ok;
    out << (ok ? "Within" : "NOT within") << " the target ratio " << TargetRatio << Qt::endl;
    return ok ? 0 : 1;
}
