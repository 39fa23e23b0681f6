// The serial-ports dialog behind the device-manager button: Linux has no
// device manager to open, so the tool lists its own view of the ports —
// COM number, device file and friendly name — with a refresh.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

struct SerialPortRow {
    int number = 0;          // the COM number
    std::string devicePath;  // the device file it opens
    std::string friendlyName;
};

// The ports as port discovery sees them, in its order (COM10 before COM2).
// error: the inventory failure, if any (the rows found so far stay).
std::vector<SerialPortRow> serialPortRows(std::string* error = nullptr);

class PortsDialog : public QDialog {
public:
    explicit PortsDialog(QWidget* parent = nullptr);

    // Re-reads the ports.
    void refresh();
    // Called with the chosen COM number ("Use port" or a double click).
    std::function<void(int)> onUse;

    QTableWidget* table() const { return table_; }

private:
    void useSelected();

    QTableWidget* table_ = nullptr;
    QLabel* folder_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* use_ = nullptr;
};
