#include "style.h"

#include <QApplication>
#include <QFile>
#include <QMetaEnum>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include "exception.h"

// Resources of a static library are registered only when something refers
// to them; this reference must stand outside any namespace.
static void RegisterStyleResources() { Q_INIT_RESOURCE(styles); }

namespace {

QString ReadResourceText(const QString& path, const QString& styleName) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    throw Exception(QStringLiteral("The visual style \"%1\" is not available").arg(styleName));
  }
  return QString::fromUtf8(file.readAll());
}

[[noreturn]] void BadPaletteLine(const QString& styleName, const QString& line) {
  throw Exception(QStringLiteral("The visual style \"%1\" has a bad palette line: %2").arg(styleName, line));
}

QList<QPalette::ColorGroup> GroupsOf(const QString& groupName, const QString& styleName, const QString& line) {
  if (groupName.isEmpty()) return {QPalette::Active, QPalette::Inactive, QPalette::Disabled};
  bool ok = false;
  const int group = QMetaEnum::fromType<QPalette::ColorGroup>().keyToValue(groupName.toLatin1(), &ok);
  if (!ok || group >= QPalette::NColorGroups) BadPaletteLine(styleName, line);
  return {static_cast<QPalette::ColorGroup>(group)};
}

QPalette::ColorRole RoleOf(const QString& roleName, const QString& styleName, const QString& line) {
  bool ok = false;
  const int role = QMetaEnum::fromType<QPalette::ColorRole>().keyToValue(roleName.toLatin1(), &ok);
  if (!ok || role >= QPalette::NColorRoles) BadPaletteLine(styleName, line);
  return static_cast<QPalette::ColorRole>(role);
}

// Reads "[Group/]Role=#rrggbb" lines; blank lines and "#" comments are skipped.
void ApplyPaletteLine(QPalette& palette, const QString& rawLine, const QString& styleName) {
  const QString line = rawLine.trimmed();
  if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) return;
  const int equals = line.indexOf(QLatin1Char('='));
  if (equals < 0) BadPaletteLine(styleName, line);
  const QString key = line.left(equals).trimmed();
  const QColor color = QColor::fromString(line.mid(equals + 1).trimmed());
  if (!color.isValid()) BadPaletteLine(styleName, line);
  const int slash = key.indexOf(QLatin1Char('/'));
  const QString groupName = slash < 0 ? QString() : key.left(slash);
  const QPalette::ColorRole role = RoleOf(key.mid(slash + 1), styleName, line);
  for (QPalette::ColorGroup group : GroupsOf(groupName, styleName, line)) palette.setColor(group, role, color);
}

QPalette ReadPalette(const QString& text, const QString& styleName, const QPalette& base) {
  QPalette palette = base;
  for (const QString& line : text.split(QLatin1Char('\n'))) ApplyPaletteLine(palette, line, styleName);
  return palette;
}

}  // namespace

void ApplyStyle(const QString& name) {
  RegisterStyleResources();
  const QString folder = QStringLiteral(":/styles/%1/").arg(name);
  const QString styleSheet = ReadResourceText(folder + QStringLiteral("style.qss"), name);
  const QString paletteText = ReadResourceText(folder + QStringLiteral("palette"), name);
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  QApplication::setPalette(ReadPalette(paletteText, name, QApplication::style()->standardPalette()));
  qApp->setStyleSheet(styleSheet);
}
