// Window sizes and positions, and the results viewer's plot panel width,
// remembered between runs in the user's settings (QSettings under the
// organisation and application names the program sets). A restored window
// still fits the screen it opens on (PlaceRemembered in window_placement.h): a
// position from a larger or a lost screen is moved, and a size shrunk, into
// its available area.
#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace quorvane {

class WindowMemory : public QObject {
 public:
  // The user's settings (organisation and application names as set).
  WindowMemory();
  // The settings in file (an INI file; for the tests).
  explicit WindowMemory(const QString& file);
  ~WindowMemory() override;

  // Remembers window under key: the remembered geometry is restored when it
  // is first shown (after the window has placed itself), and the geometry is
  // written by Save once the window has been shown.
  void Track(QWidget& window, const QString& key);
  // A number kept under key, with a value to write at Save.
  int Number(const QString& key, int fallback) const;
  void KeepNumber(const QString& key, std::function<int()> value);
  // Writes every tracked window's geometry and kept number (also when the
  // application is about to quit).
  void Save();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Tracked {
    QWidget* window;
    QString key;
    bool shown = false;
  };
  Tracked* Find(QObject* window);
  void Restore(Tracked& t);
  std::unique_ptr<QSettings> settings_;
  std::vector<Tracked> windows_;
  std::vector<std::pair<QString, std::function<int()>>> numbers_;
};

}  // namespace quorvane
