#pragma once

#include "cameraenums.h"

// Display names of the shared enumerations. Each source unit that includes
// this header holds its own copy of the tables.

namespace qzcam_detail {

// Builds a table by inserting the pairs in order; a repeated code keeps the
// name of its last pair.
template <typename Enum>
QMap<Enum, QString> buildNameTable(std::initializer_list<std::pair<Enum, const char*>> pairs) {
    QMap<Enum, QString> table;
    for (const auto& pair : pairs) {
        table.insert(pair.first, QString::fromLatin1(pair.second));
    }
    return table;
}

}  // namespace qzcam_detail

static const QMap<CameraType, QString> CameraTypeNames = qzcam_detail::buildNameTable<CameraType>({
    {CAMERA_UNKNOWN, "Unknown(0)"},
    {CAMERA_VIRTUAL, "Virtual Camera(100)"},
    {CAMERA_VIRTUAL, "Virtual Camera(100)"},
    {CAMERA_BITFLOW, "BitFlow(110)"},
    {CAMERA_BITFLOW, "BitFlow(110)"},
    {CAMERA_GIGE, "Gige(120)"},
    {CAMERA_USB, "USB Camera(130)"},
    {CAMERA_HIK, "HIK(140)"},
    {CAMERA_VIMBA, "Vimba(150)"},
    {CAMERA_BAUMER, "Baumer(160)"},
    {CAMERA_ADLINK, "AdLink(170)"},
    {CAMERA_DAHUA, "DaHua(180)"},
    {CAMERA_BASLER, "Basler(190)"},
    {CAMERA_PTGRAY, "PtGray(200)"},
    {CAMERA_EURESYS, "Euresys(220)"},
    {CAMERA_DALSA, "Dalsa(230)"},
});

static const QMap<CameraState, QString> CameraStateNames =
    qzcam_detail::buildNameTable<CameraState>({
        {Uninitialized, "Uninitialized"},
        {Initialized, "Initialized"},
        {Opened, "Opened"},
        {Running, "Running"},
        {Paused, "Paused"},
        {Closed, "Closed"},
    });

static const QMap<ImageFormat, QString> ImageFormatNames =
    qzcam_detail::buildNameTable<ImageFormat>({
        {None, "None"},
        {GRAY8, "GRAY8"},
        {RGB24, "RGB24"},
        {RGB32, "RGB32"},
        {GRAY16, "GRAY16"},
        {RGB48, "RGB48"},
        {BGR24, "BGR24"},
        {BGR32, "BGR32"},
    });

static const QMap<PortType, QString> PortTypeNames = qzcam_detail::buildNameTable<PortType>({
    {PORT_UNKNOWN, "Unknown"},
    {PORT_SERIAL, "Serial Port"},
    {PORT_USB, "USB Port"},
    {PORT_TCP_CLIENT, "TCP Client"},
    {PORT_TCP_SERVER, "TCP Server"},
    {PORT_TCP_CLIENT_SESSION, "TCP Client Session"},
});
