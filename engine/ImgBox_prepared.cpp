// Views loaded ahead: the box's setup for them, their making on another
// thread through the same steps as a box's own load, and their showing.
#include "engine/ImgBox.h"

#include "engine/PictureLoader.h"

std::optional<sq::TViewSetup> TCustomImgBox::ViewSetup() const
{
    const TImgUtil& engine = *m_imgUtil;
    const bool loader = engine.CustomLoader() && engine.CustomLoader() != &TPictureLoader::instance();
    if (engine.Thumbnail() || engine.SPlugin() || loader) return std::nullopt;
    sq::TViewSetup setup = sq::TViewSetup::ofEngine(engine);
    const int b = borderWidth();
    setup.Inner = QSize(width() - 2 * b, height() - 2 * b);
    setup.LineStep = LineStep();
    setup.SizeType = m_sizeType;
    setup.Color = m_color;
    return setup;
}

sq::TPreparedView TCustomImgBox::PrepareView(const QString& fileName, const sq::TViewSetup& setup)
{
    TImgUtil engine;
    setup.applyTo(engine);
    Load load;
    load.Engine = &engine;
    load.File = fileName;
    load.Inner = setup.Inner;
    load.LineStep = setup.LineStep;
    load.Type = TSizeType(setup.SizeType);
    load.Color = setup.Color;
    runLoad(load);
    sq::TPreparedView view;
    view.Result = load.Result;
    view.Picture = engine.PeekResult();
    view.Client = load.Client;
    view.ViewBitmap = std::move(load.View.Bitmap);
    view.Left = load.View.Place.Left;
    view.Top = load.View.Place.Top;
    view.Right = load.View.Place.Right;
    view.Bottom = load.View.Place.Bottom;
    view.Placed = load.View.Placed;
    return view;
}

int TCustomImgBox::ShowPrepared(const QString& fileName, const sq::TPreparedView& view)
{
    m_imageFile = fileName;
    ResetView();
    m_imgUtil->SetResult(view.Picture);
    Load load;
    load.Result = view.Result;
    load.Client = view.Client;
    load.View.Bitmap = view.ViewBitmap;
    load.View.Place = {view.Left, view.Top, view.Right, view.Bottom};
    load.View.Placed = view.Placed;
    return endLoad(load);
}
