// The desktop face's look: the Windows program's colours, pictures and fonts, and the helpers
// that place controls by the dialog layouts. User-interface thread.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>

#include "app/qt/face_layout.h"
#include "app/qt/face_texts.h"

#include <string>

class QFrame;
class QLabel;
class QTextEdit;
class QWidget;

// The skin behind the main window, the details dialog and the page buttons.
inline const QColor kSkinColor{103, 129, 160};
// The one-pixel frame around the borderless windows.
inline const QColor kOutlineColor{20, 20, 20};
inline const QColor kBasicPageColor{200, 210, 230};
inline const QColor kAdvancedPageColor{150, 180, 210};
// The about page keeps the plain dialog colour.
inline const QColor kAboutPageColor{245, 245, 245};
inline const QColor kLinkColor{255, 250, 250};
inline const QColor kNoteColor{255, 0, 0};

// The outline of the borderless windows is scaled by these divisors of the window's height.
inline constexpr int kMainShapeDivisor = 250;
inline constexpr int kDetailsShapeDivisor = 50;

// The program's pictures, drawn for the Windows program (resources/artwork/). `name` is the
// file name without its folder, for example "app.ico" or "logo.bmp".
QPixmap Picture(const QString& name);
// A page button's picture in the interface language: "basic", "advanced" or "about".
QPixmap PageButtonPicture(const char* page, bool checked, FaceLanguage language);

// The dialog font: 11 pixels (8 points at 96 dots per inch), or 12 for the main window's
// 9 points, in a face close to the Windows dialogs' with the Chinese face behind it.
QFont DialogFont(int pixelSize = 11);
// The firewall note's face (the Windows program asks for Microsoft YaHei).
QFont NoteFont();

QRect ToQRect(const PixelRect& r);
// Places `widget` on a rectangle of a dialog with base units `units`.
void Place(QWidget* widget, DialogRect rect, BaseUnits units);
// Makes the widget's text fit: a widget may first grow to the right up to `growTo` (a position
// in its parent; 0: not at all), then its font shrinks by whole pixels, down to 8, until the
// text fits. Call after placing it and giving it its text and font.
void FitText(QWidget* widget, int growTo = 0);
// Whether the widget's text fits inside it (width and height) with its font.
bool TextFits(const QWidget* widget);
// Makes a multi-line text box show its whole text without scrolling: its font shrinks by whole
// pixels, down to 8, until the wrapped text fits the box's height.
void FitDocument(QTextEdit* box);
// Whether the box shows its whole text.
bool DocumentFits(const QTextEdit* box);

// A background colour of the widget's own, painted behind its children.
void SetBackground(QWidget* widget, const QColor& color);

// A page of the main window: its object name, the pages' font (8 points, not the main window's
// 9), its background and its place.
void SetUpPage(QWidget* page, const char* name, const QColor& background, DialogRect rect);
// A label on a page, placed in the pages' base units.
QLabel* AddLabel(QWidget* page, const char* name, const std::string& text, DialogRect rect,
                 Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop);
// The group box of the Windows pages: an etched frame without a title.
QFrame* AddGroupFrame(QWidget* page, DialogRect rect);
