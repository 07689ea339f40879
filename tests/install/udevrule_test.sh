#!/usr/bin/env bash
# The USB3 Vision rule: udev reads it without complaint, and its match keys
# take a USB3 Vision camera (interface class ef, subclass 05) and leave other
# USB devices alone: udevrule_test.sh RULE_FILE
set -euo pipefail
rule=$1
name=$(basename "$rule")

# udev names a rule it cannot read by file and line; any device will do.
if command -v udevadm >/dev/null && unshare -m true 2>/dev/null; then
  rules=$(mktemp -d)
  trap 'rm -rf "$rules"' EXIT
  cp "$rule" "$rules/"
  log=$(unshare -m sh -c 'mount --bind "$1" /etc/udev/rules.d && udevadm test /sys/class/net/lo 2>&1' \
    sh "$rules")
  grep -q "Reading rules file: /etc/udev/rules.d/$name" <<<"$log" || {
    echo "udev did not read $name"
    exit 1
  }
  if grep "$name:" <<<"$log"; then
    echo "udev finds fault with $name"
    exit 1
  fi
else
  echo "udevadm or mount namespaces missing: the parse check is left out"
fi

# The keys a match needs, as udev compares them (shell patterns, like udev's).
value() { grep -v '^#' "$rule" | grep -o "$1==\"[^\"]*\"" | sed 's/.*=="\(.*\)"/\1/'; }
[ "$(value SUBSYSTEM)" = usb ] || { echo "not a rule for USB devices"; exit 1; }
[ "$(value 'ENV{DEVTYPE}')" = usb_device ] || { echo "not for the device node"; exit 1; }
interfaces=$(value 'ENV{ID_USB_INTERFACES}')
matches() { case $1 in $interfaces) return 0 ;; *) return 1 ;; esac; }
# A USB3 Vision camera: control, event and streaming interfaces.
matches ":ef0500:ef0501:ef0502:" || { echo "a USB3 Vision camera is not matched"; exit 1; }
matches ":ef0500:" || { echo "a camera with its control interface only is not matched"; exit 1; }
# A UVC webcam (class 0e, and its audio) and a USB3 hub or an IAD device (ef/02).
for other in ":0e0100:0e0200:010100:010200:" ":090000:" ":ef0201:0e0100:"; do
  if matches "$other"; then
    echo "a device with interfaces $other is matched"
    exit 1
  fi
done
grep -q 'GROUP="video"' "$rule" || { echo "the rule gives no group access"; exit 1; }
grep -q 'MODE="0660"' "$rule" || { echo "the rule leaves the mode as it was"; exit 1; }
echo "the rule parses and matches USB3 Vision devices only"
