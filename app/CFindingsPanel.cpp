#include "app/CFindingsPanel.h"
#include "resources/StringTable.h"
#include "resources/resource.h"

#include <QListWidget>

namespace {

// Where a finding's channel is kept in its row; -1 for a finding of the whole song.
constexpr int kChannelRole = Qt::UserRole;

QString SeverityText(SpMidiSeverity severity) {
    switch (severity) {
    case SpMidiSeverity::Error:
        return StringTable::Get(Res::IDS_SEVERITY_ERROR);
    case SpMidiSeverity::Warning:
        return StringTable::Get(Res::IDS_SEVERITY_WARNING);
    case SpMidiSeverity::Note:
        break;
    }
    return StringTable::Get(Res::IDS_SEVERITY_NOTE);
}

} // namespace

CFindingsPanel::CFindingsPanel(QWidget* parent)
    : QDockWidget(StringTable::Get(Res::IDS_FINDINGS_TITLE), parent) {
    setObjectName(QStringLiteral("findingsPanel"));
    setFeatures(QDockWidget::DockWidgetClosable);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("findingsList"));
    list_->setWordWrap(true);
    // A few rows; the window keeps its fixed width.
    list_->setMinimumHeight(list_->fontMetrics().height() * 6);
    list_->setMaximumHeight(list_->fontMetrics().height() * 8);
    setWidget(list_);
    connect(list_, &QListWidget::itemClicked, this, &CFindingsPanel::OnItemClicked);
}

void CFindingsPanel::ShowFindings(const std::vector<SpMidiFinding>& findings) {
    list_->clear();
    for (const SpMidiFinding& f : findings) {
        auto* item = new QListWidgetItem(
            StringTable::Get(Res::IDS_FINDING_ROW)
                .arg(SeverityText(f.severity), QString::fromStdString(f.message)),
            list_);
        item->setToolTip(QString::fromStdString(f.fix));
        item->setData(kChannelRole, f.channel.value_or(-1));
    }
}

void CFindingsPanel::OnItemClicked(QListWidgetItem* item) {
    const int channel = item ? item->data(kChannelRole).toInt() : -1;
    if (channel >= 0)
        emit channelChosen(channel);
}
