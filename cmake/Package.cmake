# The Debian package: what `cmake --install` lays out, under /usr. scripts/package configures the
# release build with CMAKE_INSTALL_PREFIX=/usr so that the paths written into files agree.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tarvik developers")
set(CPACK_PACKAGE_CONTACT "The Tarvik developers <developers@tarvik.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "see what runs on this machine and what it costs")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvik lists the processes that listen on TCP ports, grouped by project, with\n"
    "the memory and CPU of their whole process trees, and stops them. A tray\n"
    "application shows the development servers' count and memory, notifies when\n"
    "they start, stop or grow, and opens a dashboard of CPU, memory, GPU, disk,\n"
    "network, battery and heat with the applications behind each reading.")
list(JOIN CPACK_PACKAGE_DESCRIPTION "" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tarvik.app")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "git")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "docker.io")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
