// The installer's two skin documents, rebuilt element by element as test
// data for the markup parser.
#include <string>

#include "SkinFixtures.h"

namespace skin_fixtures {

namespace {

std::string WithCrLf(const char* text) {
  std::string out;
  for (const char* p = text; *p != 0; ++p) {
    if (*p == '\n') out.push_back('\r');
    out.push_back(*p);
  }
  return out;
}

constexpr char kInstallPackages[] = R"(<?xml version="1.0" encoding="utf-8" standalone="yes" ?>
<Window size="540,355" maxinfo="540,355" mininfo="540,355" caption="0,0,0,100" bktrans="false" shadow="true" shadowimage="shadow.png" shadowborder="5,4,5,6" roundcorner="2,2">
  <Font name="宋体" size="12" bold="false" default="true" />
  <Font name="微软雅黑" size="12" bold="false" />
  <Container>
    <VerticalLayout name="VerticalLayoutUI1">
      <VerticalLayout name="VerticalLayoutUI4">
        <TabLayout name="tb_main">
          <!-- start page -->
          <VerticalLayout name="vlt_install">
            <HorizontalLayout bkimage="file='bg_progress.png'">
              <Button name="btn_install" float="true" pos="177,237,0,0" width="184" height="44" normalimage="install_0.png" hotimage="file='install_1.png' source='5,5,189,49'" pushedimage="file='install_1.png' source='5,5,189,49'" />
            </HorizontalLayout>
            <HorizontalLayout height="42" bkcolor="#ffffffff">
              <Option name="opt_agree" text="同意" font="1" float="true" pos="13,10,0,0" width="56" height="24" textcolor="#ff444343" selected="true" bkimage="file='opt_000.png' dest='0,4,16,20'" selectedimage="file='opt_001.png' dest='0,4,16,20'" textpadding="12,0,0,0" />
              <Button name="btn_agreement" float="true" pos="64,17,0,0" width="72" height="11" normalimage="file='btn_agreement_000.png' source='24,0,96,11'" hotimage="file='btn_agreement_002.png' source='24,0,96,11'" pushedimage="file='btn_agreement_002.png' source='24,0,96,11'" />
              <Button name="btn_free" float="true" pos="448,16,0,0" width="77" height="13" normalimage="btn_free_000.png" hotimage="btn_free_002.png" pushedimage="btn_free_002.png" />
            </HorizontalLayout>
          </VerticalLayout>
          <!-- folder page -->
          <VerticalLayout name="vlt_content" bkimage="file='bg_progress.png' dest='0,0,540,313'">
            <HorizontalLayout />
            <HorizontalLayout height="110" bkcolor="#ffffffff">
              <Label text="安装目录" font="1" float="true" pos="36,9,0,0" width="75" height="18" textcolor="#FF444343" />
              <Edit name="edit_input" font="1" float="true" pos="36,35,0,0" width="387" height="29" bkcolor="#FFFFFFFF" bordercolor="#00C0C0C0" textpadding="6,3,4,3" textcolor="#FF000000" disabledtextcolor="#FFA7A6AA" readonly="false" bkimage="file='input.png' corner='3,3,3,3'" />
              <Button name="btn_select" float="true" pos="421,35,0,0" width="84" height="29" normalimage="select_dir_0.png" hotimage="select_dir_1.png" pushedimage="select_dir_1.png" />
              <Label text="所需磁盘空间：120MB" font="1" float="true" pos="36,78,0,0" width="127" height="18" textcolor="#FF444343" disabledtextcolor="#FFA7A6AA" />
              <Label text="可用磁盘空间：" font="1" float="true" pos="190,78,0,0" width="110" height="17" textcolor="#FF444343" disabledtextcolor="#FFA7A6AA" />
              <Label name="lb_leftspace" font="1" float="true" pos="273,78,0,0" width="60" height="19" textcolor="#FF444343" disabledtextcolor="#FFA7A6AA" />
              <Button name="btn_install2" float="true" pos="407,73,0,0" width="100" height="28" normalimage="install2_0.png" hotimage="install2_1.png" pushedimage="install2_1.png" />
            </HorizontalLayout>
          </VerticalLayout>
          <!-- progress page -->
          <VerticalLayout bkimage="file='bg_progress.png' dest='0,0,540,313'">
            <HorizontalLayout />
            <VerticalLayout height="54" bkcolor="#ffffffff">
              <Progress name="pro_InstallProgress" float="true" pos="18,2,0,0" width="500" height="30" bkimage="file='progress_bk.png' corner='3,3,3,3'" align="center" />
              <HorizontalLayout>
                <Label name="lb_download" float="true" pos="18,28,0,0" width="60" height="20" font="1" align="left" textcolor="#ff424242" text="下载中" />
                <Label name="lb_speed" float="true" pos="300,28,0,0" width="218" height="20" font="1" align="right" textcolor="#ff424242" text="" />
              </HorizontalLayout>
            </VerticalLayout>
          </VerticalLayout>
        </TabLayout>
      </VerticalLayout>
      <VerticalLayout name="VerticalLayoutUI2" float="true" pos="0,0,0,0" height="33" width="600">
        <Button name="btn_min" float="true" pos="488,0,0,0" width="25" height="23" normalimage="btn_min000.png" hotimage="btn_min001.png" pushedimage="btn_min002.png" tooltip="最小化" />
        <Button name="btn_close" float="true" pos="515,0,0,0" width="25" height="23" normalimage="btn_close000.png" hotimage="btn_close001.png" pushedimage="btn_close002.png" tooltip="关闭" />
      </VerticalLayout>
    </VerticalLayout>
  </Container>
</Window>
)";

constexpr char kMessageBox[] = R"(<?xml version="1.0" encoding="utf-8" standalone="yes" ?>
<Window size="280,115" caption="0,0,0,35" bktrans="false" shadow="true" shadowimage="shadow.png" shadowborder="5,4,5,6" roundcorner="2,2">
  <Font name="宋体" size="12" bold="false" default="true" />
  <Font name="宋体" size="13" bold="false" />
  <VerticalLayout bkcolor="#ffffffff">
    <!-- title bar -->
    <HorizontalLayout height="30" bkcolor="#ff00396a">
      <Label name="lb_title" float="true" text="退出安装" pos="5,5,0,0" width="253" height="22" textcolor="#ffffffff" />
      <Button name="btn_close" float="true" pos="255,0,0,0" width="25" height="23" normalimage="btn_close000.png" hotimage="btn_close001.png" pushedimage="btn_close002.png" tooltip="关闭" />
    </HorizontalLayout>
    <VerticalLayout bkcolor="#f2ffffff">
      <HorizontalLayout height="12" />
      <HorizontalLayout>
        <HorizontalLayout width="20" />
        <HorizontalLayout name="hlt_tip_icon" width="29" inset="0,0,0,0">
          <Control name="ctl_tip_icon" bkimage="file='common_tip_icon.png' stretch='false' center='true'" />
        </HorizontalLayout>
        <HorizontalLayout width="10" />
        <HorizontalLayout inset="0,4,0,0">
          <Label name="lb_text" text="是否退出安装？" textcolor="#ff000000" />
        </HorizontalLayout>
        <HorizontalLayout width="10" />
      </HorizontalLayout>
      <HorizontalLayout height="44" inset="0,10,0,9">
        <HorizontalLayout name="hlt_left_space" inset="10,0,0,0" />
        <HorizontalLayout width="70" inset="0,0,10,0">
          <Button name="btn_ok" textcolor="#ffffffff" text="确定" normalimage="file='public_btn_000.png' corner='3,3,3,3'" hotimage="file='public_btn_001.png' corner='3,3,3,3'" pushedimage="file='public_btn_002.png' corner='3,3,3,3'" />
        </HorizontalLayout>
        <HorizontalLayout name="hlt_btn_0" width="70" inset="0,0,10,0">
          <Button name="btn_cancel" textcolor="#ffffffff" text="取消" normalimage="file='public_btn1_000.png' corner='3,3,3,3'" hotimage="file='public_btn1_001.png' corner='3,3,3,3'" pushedimage="file='public_btn1_002.png' corner='3,3,3,3'" />
        </HorizontalLayout>
      </HorizontalLayout>
    </VerticalLayout>
  </VerticalLayout>
</Window>
)";

}  // namespace

std::string InstallPackagesXml() {
  return "\xEF\xBB\xBF" + WithCrLf(kInstallPackages);
}

std::string MessageBoxXml() {
  return WithCrLf(kMessageBox);
}

}  // namespace skin_fixtures
