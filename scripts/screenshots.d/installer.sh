# Sourced by screenshots.sh: the installer window INSTALL_DLG in both modes,
# started from a copy of the installation medium.
INSTALL_DLG="Installation"

# Copies the medium's programs to C:\RyvoMedium and prints its Linux path.
installer_medium() {
  local medium
  medium=$(ryvo_unix_path 'C:\RyvoMedium')
  rm -rf "$medium"
  mkdir -p "$medium"
  cp "$WIN/installer/Installation.exe" "$RYVOWIN_EXE" "$medium/" || return 1
  printf '%s\n' "$medium"
}

# Not registered: the conduit is unknown to the Conduit Manager, so the
# window offers the folder chooser, install and exit.
shot_installer_install() {
  local medium
  medium=$(installer_medium) || return 1
  wine reg delete 'HKCU\Software\RyvoStandIn\CondMgr\Creators\Ryvo' /f >/dev/null 2>&1
  wineserver -w
  ryvo_start "$medium/Installation.exe" "$INSTALL_DLG" || return 1
  ryvo_snap "$SHOT_DIR/installer-install.png" "$INSTALL_DLG"
  ryvo_stop
}

# Registered: uninstall in row 2 and the update button.
shot_installer_registered() {
  local medium
  medium=$(installer_medium) || return 1
  ryvo_prepare_installed
  ryvo_start "$medium/Installation.exe" "$INSTALL_DLG" || return 1
  ryvo_snap "$SHOT_DIR/installer-registered.png" "$INSTALL_DLG"
  ryvo_stop
}

SHOTS+=(installer_install installer_registered)
