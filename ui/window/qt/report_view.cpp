#include "ui/window/qt/report_view.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

#include "base/paths.h"
#include "engine/verdicts.h"
#include "ui/window/qt/window_services.h"

namespace qn {

namespace {

// The background of a marked line, by its mark: a tag change is shaded paler than damage.
const QColor kMarkColours[] = {QColor(), QColor(255, 236, 179), QColor(255, 205, 205), QColor(214, 228, 255)};

}  // namespace

int report_line_mark(const QString& line) {
  // The head of a summary table names the columns, not a problem.
  if (line.startsWith(QLatin1String("entries "))) return 0;
  if (tags_only_report_line(line.toStdString())) return 3;
  if (line.contains(QLatin1String(" FAIL")) || line.contains(QLatin1String(" Fails")) ||
      line.startsWith(QLatin1String("error ")) || line.contains(QLatin1String(": error ")))
    return 2;
  if (line.contains(QLatin1String("MISSING"))) return 1;
  return 0;
}

ReportView::ReportView(QWidget* owner, WindowServices& services) : QDialog(owner), services_(services) {
  setObjectName(QStringLiteral("ReportView"));
  setWindowTitle(QStringLiteral("Quarnell Verify Report"));
  setModal(false);
  resize(720, 480);

  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("reportText"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  path_label_ = new QLabel(this);
  path_label_->setTextFormat(Qt::PlainText);
  path_label_->setObjectName(QStringLiteral("reportPath"));
  path_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  path_label_->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  open_folder_ = buttons->addButton(QStringLiteral("Open Folder"), QDialogButtonBox::ActionRole);
  open_folder_->setObjectName(QStringLiteral("btnOpenFolder"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  connect(open_folder_, &QPushButton::clicked, this, &ReportView::open_folder);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(path_label_);
  layout->addWidget(buttons);
}

void ReportView::show_report(const std::string& path, const std::string& text) {
  path_ = path;
  QString shown = text_from_path(text);
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text_->setPlainText(shown);
  path_label_->setText(QStringLiteral("The report is in ") + text_from_path(path));

  QList<QTextEdit::ExtraSelection> marks;
  for (QTextBlock block = text_->document()->begin(); block.isValid(); block = block.next()) {
    int mark = report_line_mark(block.text());
    if (mark == 0) continue;
    QTextEdit::ExtraSelection selection;
    selection.cursor = QTextCursor(block);
    selection.format.setProperty(QTextFormat::FullWidthSelection, true);
    selection.format.setBackground(kMarkColours[mark]);
    marks.append(selection);
  }
  text_->setExtraSelections(marks);
  show();
  raise();
  activateWindow();
}

void ReportView::open_folder() {
  if (!services_.open_folder(FolderOfPath(path_)))
    services_.show_error_box(this, QString::fromLatin1(kApplicationTitle),
                             QStringLiteral("The folder could not be opened:\r\n") +
                                 text_from_path(FolderOfPath(path_)),
                             false);
}

}  // namespace qn
