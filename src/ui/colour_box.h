// The colour box (an 18 x 18 swatch that opens the colour chooser) and PickColour, the
// colour chooser with the program's 16 shared custom colours.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

class QDialog;

namespace lumra::ui {

// Runs a modal dialog and returns its result code (QDialog::exec when empty).
using DialogRunner = std::function<int(QDialog&)>;

// The colour chooser on initial (0xRRGGBB); the chosen colour, or nothing when cancelled.
// The 16 custom colours are one array shared by every chooser of the program.
std::optional<uint32_t> PickColour(QWidget* parent, uint32_t initial, const DialogRunner& run = {});

class ColourBox : public QWidget {
    Q_OBJECT
public:
    explicit ColourBox(QWidget* parent = nullptr, int id = 0);

    int id() const { return id_; }
    uint32_t colour() const { return colour_; }
    // The stored colour; repaints.
    void SetColour(uint32_t rgb);
    // While a colour pick is armed the box shows the live colour under the pointer;
    // nothing shows the stored colour again.
    void SetLiveColour(std::optional<uint32_t> rgb);
    std::optional<uint32_t> liveColour() const { return live_; }
    // The colour it paints now.
    uint32_t shownColour() const { return live_ ? *live_ : colour_; }
    void SetDialogRunner(DialogRunner run) { run_ = std::move(run); }

signals:
    // A colour was chosen in the chooser (and stored).
    void colourChosen(int id, uint32_t rgb);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int id_ = 0;
    uint32_t colour_ = 0;
    std::optional<uint32_t> live_;
    DialogRunner run_;
};

}  // namespace lumra::ui
