<?xml version="1.0" encoding="UTF-8"?>
<!-- The ad configuration document of the test site. Addresses are relative
     to this document, so the site works on any host and port. -->
<ovk version="1">
  <ad image_url="images/ad1.png" image_format="png" file_name="ad1.png" link_url="../pages/ad1.html" text="广告一"/>
  <ad image_url="images/ad2.jpg" image_format="" file_name="ad2.jpg" link_url="../pages/ad2.html" text="广告二"/>
  <ad image_url="images/ad3.gif" image_format="gif" file_name="ad3.gif" link_url="../pages/ad3.html" text="广告三"/>
</ovk>
