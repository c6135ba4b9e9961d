#pragma once

// Answers the length of the opened file for the track list.
class TrackCalculaterListener
{
public:
    virtual ~TrackCalculaterListener() = default;

    // Length of the opened MP3 in milliseconds.
    virtual int totalLength() const = 0;
};
