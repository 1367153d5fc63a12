#!/usr/bin/env bash
# The release tag and asset name of the codec-enabled engine for $QT_VERSION, $QT_ARCH and
# $WEBENGINE_OPTIONS, as lines for $GITHUB_OUTPUT: tag=qt-engine-<version> and
# name=qt-<version>-<arch>-<options>.7z, the options spelt out ("-a -b c" -> "a_b-c").
# Shared by qt-engine.yml, which publishes the asset, and windows.yml, which downloads it.
set -euo pipefail
options=$(printf '%s' "$WEBENGINE_OPTIONS" | sed 's/^-*//; s/ -*/_/g; s/[^A-Za-z0-9_.-]/-/g')
echo "tag=qt-engine-$QT_VERSION"
echo "name=qt-$QT_VERSION-$QT_ARCH-$options.7z"
