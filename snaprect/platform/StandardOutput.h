#pragma once

/// Whether the process was started with its standard output closed. To be
/// asked first of all, before anything opens a file: a closed descriptor is
/// then given to the null device, so that no file opened later takes its
/// number and receives what is meant for standard output.
bool standardOutputWasClosed();
