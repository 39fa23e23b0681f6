#include "gui/ports_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <exception>

#include "gui/qt_host.h"
#include "link/com_ports.h"

std::vector<SerialPortRow> serialPortRows(std::string* error) {
    std::vector<std::string> lines;
    C_ComPort ports;
    try {
        ports.enumeratePorts(lines, '|');
    } catch (const std::exception& e) {
        if (error) *error = e.what();
    }
    std::vector<SerialPortRow> rows;
    for (const std::string& line : lines) {
        const size_t bar = line.find('|');
        if (bar == std::string::npos || bar < 4 || line.compare(0, 3, "COM") != 0) continue;
        SerialPortRow row;
        try {
            row.number = std::stoi(line.substr(3, bar - 3));
        } catch (const std::exception&) { continue; }
        row.friendlyName = line.substr(bar + 1);
        row.devicePath = devicePathForPort(row.number);
        rows.push_back(std::move(row));
    }
    return rows;
}

PortsDialog::PortsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Serial ports"));
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(0, 3, this);
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("COM"), QStringLiteral("Device"), QStringLiteral("Friendly name")});
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(table_);
    folder_ = new QLabel(this);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(folder_);
    status_ = new QLabel(this);
    layout->addWidget(status_);

    auto* buttons = new QHBoxLayout;
    auto* refreshButton = new QPushButton(QStringLiteral("Refresh"), this);
    use_ = new QPushButton(QStringLiteral("Use port"), this);
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    buttons->addWidget(refreshButton);
    buttons->addStretch();
    buttons->addWidget(use_);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);

    connect(refreshButton, &QPushButton::clicked, this, [this] { refresh(); });
    connect(use_, &QPushButton::clicked, this, [this] { useSelected(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int, int) { useSelected(); });
    connect(table_, &QTableWidget::itemSelectionChanged, this,
            [this] { use_->setEnabled(!table_->selectedItems().isEmpty()); });
    resize(560, 300);
    refresh();
}

void PortsDialog::refresh() {
    std::string error;
    const std::vector<SerialPortRow> rows = serialPortRows(&error);
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const SerialPortRow& row = rows[static_cast<size_t>(i)];
        auto* number = new QTableWidgetItem(QString::number(row.number));
        number->setData(Qt::UserRole, row.number);
        table_->setItem(i, 0, number);
        table_->setItem(i, 1, new QTableWidgetItem(qtText(row.devicePath)));
        table_->setItem(i, 2, new QTableWidgetItem(qtText(row.friendlyName)));
    }
    table_->resizeColumnToContents(0);
    table_->resizeColumnToContents(1);
    folder_->setText(QStringLiteral("Ports folder: ") + qtText(portsFolder()));
    if (!error.empty())
        status_->setText(QStringLiteral("Inventory error: ") + qtText(error));
    else
        status_->setText(rows.empty() ? QStringLiteral("No serial port found.")
                                      : QString::number(rows.size()) + QStringLiteral(" port(s)"));
    use_->setEnabled(!table_->selectedItems().isEmpty());
}

void PortsDialog::useSelected() {
    const auto selected = table_->selectedItems();
    if (selected.isEmpty()) return;
    const int row = selected.front()->row();
    const int number = table_->item(row, 0)->data(Qt::UserRole).toInt();
    if (onUse) onUse(number);
    accept();
}
