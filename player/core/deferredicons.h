#pragma once

// The desktop style, except that its standard icons are read when first
// drawn rather than when asked for. Every file dialog asks for a dozen of
// them as it is built, each read from several pictures, though most dialogs
// are never opened; the program builds its dialogs before its window shows.

#include <QProxyStyle>

#include <array>

class TDeferredIconStyle : public QProxyStyle
{
public:
    TDeferredIconStyle();

    // The icons that file dialogs, their file lists and their buttons ask
    // for; the desktop style has a picture for each of them.
    static constexpr std::array deferredIcons{
        SP_ArrowBack,    SP_ArrowForward, SP_FileDialogToParent, SP_FileDialogNewFolder, SP_FileDialogListView,
        SP_FileDialogDetailedView, SP_DirIcon, SP_DirOpenIcon, SP_DirLinkIcon, SP_FileIcon, SP_FileLinkIcon,
        SP_DriveHDIcon,  SP_DriveCDIcon,  SP_DriveDVDIcon,       SP_DriveFDIcon,         SP_DriveNetIcon,
        SP_ComputerIcon, SP_DesktopIcon,  SP_TrashIcon,          SP_DialogOpenButton,    SP_DialogSaveButton,
        SP_DialogCancelButton, SP_DialogOkButton, SP_DialogYesButton, SP_DialogNoButton, SP_DialogCloseButton,
        SP_DialogApplyButton,  SP_DialogResetButton, SP_DialogHelpButton, SP_DialogDiscardButton,
        SP_DirClosedIcon,      SP_DirHomeIcon,       SP_FileDialogStart,     SP_FileDialogEnd,
        SP_FileDialogInfoView, SP_FileDialogContentsView, SP_FileDialogBack,
    };
    static bool deferred(StandardPixmap standardIcon);

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
