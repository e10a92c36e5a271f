#!/bin/sh
# The program looks for its configuration file, logo and manual beside itself,
# so it is started from its own folder's path.
exec /opt/tesorin/tesorin "$@"
