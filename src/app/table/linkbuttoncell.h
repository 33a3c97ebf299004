// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QPainter;
class QPalette;
class QRectF;
class QSvgRenderer;

// The one button cell the link column draws every row with. It is dressed for each row just
// before that row is drawn, so it holds the look of one row at a time. Images are named and
// looked up among the application's resources (":/images/<name>.svg").
class LinkButtonCell {
public:
    enum class ImagePosition { NoImage = 0, ImageOnly = 1 };
    enum class BezelStyle { Rounded = 1, RegularSquare = 2 };
    // With MomentaryChange the alternate image shows while the button is pressed.
    enum class ButtonType { MomentaryLight = 0, MomentaryChange = 5 };

    LinkButtonCell();
    ~LinkButtonCell();
    LinkButtonCell(const LinkButtonCell&) = delete;
    LinkButtonCell& operator=(const LinkButtonCell&) = delete;

    const QString& title() const { return cellTitle; }
    void setTitle(const QString& title) { cellTitle = title; }
    ImagePosition imagePosition() const { return cellImagePosition; }
    void setImagePosition(ImagePosition position) { cellImagePosition = position; }
    BezelStyle bezelStyle() const { return cellBezelStyle; }
    void setBezelStyle(BezelStyle style) { cellBezelStyle = style; }
    ButtonType buttonType() const { return cellButtonType; }
    void setButtonType(ButtonType type) { cellButtonType = type; }
    bool isBordered() const { return bordered; }
    void setBordered(bool on) { bordered = on; }

    // The names of the images, absent when the cell has none.
    const std::optional<QString>& image() const { return imageName; }
    void setImage(std::optional<QString> name) { imageName = std::move(name); }
    const std::optional<QString>& alternateImage() const { return alternateImageName; }
    void setAlternateImage(std::optional<QString> name) { alternateImageName = std::move(name); }

    // Pressed: the mouse went down on the cell and is still over it.
    bool isHighlighted() const { return highlighted; }
    void setHighlighted(bool on) { highlighted = on; }
    // A ring around the image, in the text colour, for the cell that has the keyboard focus.
    bool showsFocusRing() const { return focusRing; }
    void setShowsFocusRing(bool on) { focusRing = on; }

    using Action = std::function<void()>;
    void setAction(Action action) { cellAction = std::move(action); }
    bool hasAction() const { return bool(cellAction); }
    // What a completed click does.
    void performClick() const;

    // The name of the image that draw() shows in the current state, if any.
    std::optional<QString> shownImage() const;
    void draw(QPainter& painter, const QRectF& rect, const QPalette& palette) const;

private:
    QSvgRenderer* renderer(const QString& name) const;

    QString cellTitle;
    ImagePosition cellImagePosition = ImagePosition::NoImage;
    BezelStyle cellBezelStyle = BezelStyle::Rounded;
    ButtonType cellButtonType = ButtonType::MomentaryLight;
    bool bordered = true;
    std::optional<QString> imageName;
    std::optional<QString> alternateImageName;
    bool highlighted = false;
    bool focusRing = false;
    Action cellAction;
    // Parsed once per name: the cell is dressed and drawn for every visible row.
    mutable std::map<QString, std::unique_ptr<QSvgRenderer>> renderers;
};
